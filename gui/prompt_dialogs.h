#pragma once
// The three small modal prompts every part shares: one text field (DlgAdd1), two
// text fields (DlgAdd2) and pick-one-from-a-list (DlgDel), laid out to fit a
// 240-pixel-wide window, plus QtPrompts, which runs them for the main window's
// Host implementation.
#include <QDialog>
#include <QFont>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kolu {

// One-field prompt: a caption, a field of at most `maxLength` characters, OK and
// Cancel. OK is enabled only while the field holds text, unless `acceptEmpty`
// (the quit message), where it stays enabled.
class OneFieldPrompt final : public QDialog {
    Q_OBJECT
  public:
    OneFieldPrompt(const QString& title, const QString& prompt, int maxLength, bool acceptEmpty,
                   QWidget* parent = nullptr);

    // The main window's dialog font, for the caption and the field.
    void setDialogFont(const QFont& font);
    // The field's text as the answer buffer keeps it (kPromptAnswerChars at most).
    std::u16string answer() const;

    QLabel* promptLabel() const { return m_prompt; }
    QLineEdit* field() const { return m_field; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

  private:
    void updateOk();

    QLabel* m_prompt;
    QLineEdit* m_field;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_acceptEmpty;
};

// Two-field prompt: two captions and fields of at most `maxLength` characters
// each; OK is enabled only while both fields hold text.
class TwoFieldPrompt final : public QDialog {
    Q_OBJECT
  public:
    TwoFieldPrompt(const QString& title, const QString& firstPrompt, const QString& secondPrompt,
                   int maxLength, QWidget* parent = nullptr);

    void setDialogFont(const QFont& font);
    // The first field's text, and the second's as the answer buffer keeps it.
    std::u16string firstAnswer() const;
    std::u16string answer() const;

    QLabel* firstLabel() const { return m_firstPrompt; }
    QLabel* secondLabel() const { return m_secondPrompt; }
    QLineEdit* firstField() const { return m_first; }
    QLineEdit* secondField() const { return m_second; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

  private:
    void updateOk();

    QLabel* m_firstPrompt;
    QLineEdit* m_first;
    QLabel* m_secondPrompt;
    QLineEdit* m_second;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

// Pick-from-list prompt: a caption over a list of entries, Remove and Cancel.
// Remove is enabled only while an entry is selected.
class PickFromListPrompt final : public QDialog {
    Q_OBJECT
  public:
    PickFromListPrompt(const QString& title, const QString& caption, const QStringList& items,
                       QWidget* parent = nullptr);

    void setDialogFont(const QFont& font);
    // The selected entry's index; -1 when none is selected.
    int pickedIndex() const;

    QLabel* captionLabel() const { return m_caption; }
    QListWidget* list() const { return m_list; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* cancelButton() const { return m_cancel; }

  private:
    void updateRemove();

    QLabel* m_caption;
    QListWidget* m_list;
    QPushButton* m_remove;
    QPushButton* m_cancel;
};

// Sizes a prompt to what it asks for, but never wider than `window` (the main
// window), wrapping the captions as needed. Without a window only the size
// hint counts.
void fitPromptToWindow(QDialog& dialog, const QWidget* window);

// A message box over `parent` (OK, or Yes and No for a question) that, where
// the system would make it wider than `parent`'s window, is narrowed to it with
// its text wrapped. Answers the button pressed.
QMessageBox::StandardButton messageInWindow(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons);

// The bodies of the Host prompts: each builds its dialog over `parent` with the
// texts and field limits of the command id, runs it modally and returns the
// answer, or nothing when the dialog was not confirmed.
class QtPrompts {
  public:
    // Called for every text field of a prompt just before it opens, so the word
    // completion list can follow the field's edits.
    using FieldHook = std::function<void(QDialog& dialog, QLineEdit& field)>;

    explicit QtPrompts(QWidget* parent) : m_parent(parent) {}

    void setDialogFont(const QFont& font) { m_font = font; }
    void setFieldHook(FieldHook hook) { m_fieldHook = std::move(hook); }

    std::optional<std::u16string> promptOneField(int commandId, std::u16string_view title,
                                                 std::u16string_view prompt);
    std::optional<std::pair<std::u16string, std::u16string>> promptTwoFields(
        int commandId, std::u16string_view title, std::u16string_view firstPrompt,
        std::u16string_view secondPrompt);
    std::optional<int> pickFromList(int commandId, std::u16string_view title,
                                    std::u16string_view prompt,
                                    const std::vector<std::u16string>& items);

  private:
    void prepare(QDialog& dialog, std::initializer_list<QLineEdit*> fields);

    QWidget* m_parent;
    std::optional<QFont> m_font;
    FieldHook m_fieldHook;
};

}  // namespace kolu
