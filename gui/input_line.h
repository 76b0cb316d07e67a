#pragma once
// The input line (control 106, the part comboproc plays): an editable combo box whose drop-down
// list is the history of sent lines, over the command line's InputLineModel. Its edit field (the
// part editproc plays) walks the history with Up and Down, remembers the caret while it is away,
// switches tabs when an arrow key is released, offers a Cut / Copy / Paste / Delete menu and paints
// itself in the colour table's input-line colours (or over the background picture).
#include <QComboBox>
#include <QPoint>
#include <QTimer>
#include <memory>

#include "commands/input_line_model.h"

class QImage;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QWheelEvent;

namespace kolu {

class ColourTable;
class InputEdit;
class NickCompletion;
class Settings;

class InputLine final : public QComboBox, private InputLineObserver {
    Q_OBJECT
  public:
    // A press held this long without moving opens the edit menu (tap-and-hold).
    static constexpr int kHoldMilliseconds = 500;
    // The edit menu's command ids, kept as its actions' data.
    enum EditCommand { kCut = 40601, kCopy = 40602, kPaste = 40603, kDelete = 40604 };

    // `model` and `colours` outlive the widget; the widget becomes the model's observer.
    InputLine(InputLineModel& model, const ColourTable& colours, QWidget* parent = nullptr);
    ~InputLine() override;

    // The main window's background picture (null when none), shown behind the text
    // while `bmp` is non-zero when settings are given.
    void setBackgroundPicture(const QImage* picture);
    void setSettings(Settings* settings);
    // The colour table changed: takes the input-line colours again.
    void refreshColours();
    // Tab and Shift+Tab complete nicknames through `completion`, which outlives
    // the widget; without one Tab moves the focus as usual.
    void setNickCompletion(NickCompletion* completion) { m_nicks = completion; }
    // Whether Tab would complete a nickname at the caret now.
    bool completesNickname() const;

    // Focus2Input: the keyboard focus to the edit field.
    void Focus2Input();
    // Word completion put the caret here: remembered and shown.
    void setCaret(int position);
    int savedCaret() const { return m_savedCaret; }
    QLineEdit* editControl() const;

    // InputContextEnable: the edit menu with Cut, Copy and Delete greyed when
    // nothing is selected and Paste greyed when the clipboard holds no text.
    std::unique_ptr<QMenu> createEditMenu();
    // InputContextMenu: runs the edit menu at a screen position and carries out
    // the chosen item.
    void InputContextMenu(QPoint globalPosition);
    // Carries out one of the menu's commands; other ids do nothing.
    void runEditCommand(int command);
    // Text pasted or dropped at the caret. Text of several lines is not cut to its
    // first: it goes in with the text around the caret and is entered at once (the
    // command line takes it line by line). False for text of one line, which the
    // caller inserts as the edit field does.
    bool enterPastedLines(const QString& text);

  signals:
    // Enter was pressed: the owner runs the line (parsuj over the model, which
    // clears it and adds it to the history) and closes the word-completion list.
    void entered();
    // Escape reached the edit field (no word list took it): the owner drops the
    // lines still waiting to be sent.
    void escaped();
    // Left (37) or right (39) arrow released: the owner switches tabs.
    void switchTab(int key);
    // The user changed the text (typing, pasting, deleting): for word completion.
    void textEdited(const QString& text);

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    friend class InputEdit;

    // From the edit field (editproc). Answers whether the key was used up.
    bool editKeyPressed(QKeyEvent* event);
    void editKeyReleased(QKeyEvent* event);
    void editFocusOut();
    void editFocusIn();
    void editPressed(QPoint position);
    void editMoved(QPoint position);
    void editReleased();
    void paintEditBackground(QPainter& painter, const QRect& client);
    // Tab and Shift+Tab complete a nickname; any other key ends the cycle.
    // Answers whether the key was used up.
    bool nickKeyPressed(QKeyEvent* event);

    // InputLineObserver
    void textChanged() override;
    void historyChanged() override;

    void showModelText();
    void onTextEdited(const QString& text);
    void onIndexChanged(int index);
    void onHoldTimeout();

    InputLineModel& m_model;
    const ColourTable& m_colours;
    InputEdit* m_edit;
    const QImage* m_picture = nullptr;
    Settings* m_settings = nullptr;
    NickCompletion* m_nicks = nullptr;
    int m_savedCaret = 0;
    bool m_showingModel = false;  // the widget is following the model: no echo back
    QTimer m_holdTimer;
    QPoint m_press{-1, -1};
};

}  // namespace kolu
