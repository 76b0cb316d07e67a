#pragma once
// Word completion for one text field: each change the user makes looks the
// typed word up in the dictionary (unless `whsp_enable` is 0) and opens,
// refills or closes the whisper list above the field; the field losing the
// focus, a taken word, the cross or Escape close it. Keyboard users take the
// first row with Ctrl+Space, or with Tab unless the field claims Tab (the input
// line, for a nickname to complete). Hosts attach it with one call.
#include <QObject>
#include <QPointer>
#include <functional>

class QLineEdit;
class QWidget;

namespace kolu {

class Dictionary;
class Settings;
class WhisperList;

struct WhisperServices {
    Settings& settings;
    Dictionary& dictionary;
    int scaleFactor = 1;
};

// It plays DbWhisperNotify: the field's changes and focus reach it directly, so
// a host keeps no current list of its own.
class WhisperHook final : public QObject {
    Q_OBJECT
  public:
    // How many words to offer, asked at each change (`whspmax`, or 1 in dialogs).
    using Maximum = std::function<int()>;
    // Puts a taken word's text into the field (the input line goes through its model).
    using Replace = std::function<void(const QString& text)>;

    WhisperHook(QLineEdit& field, QWidget& host, const WhisperServices& services, Maximum maximum,
                bool followsCaret, Replace replace);
    ~WhisperHook() override;

    // Asked at each plain Tab while the list is open: when it answers true, Tab is
    // left to the field and the list closes.
    void setTabClaim(std::function<bool()> claimed) { m_tabClaimed = std::move(claimed); }

    // The open list, or null.
    WhisperList* list() const;
    // DbMonitorujSlowo: the field changed.
    void fieldChanged();
    // Takes the word of `row` into the field; false when there is no such row.
    bool take(int row);
    // The close-whisper message: the list goes and the field gets the focus back.
    void close();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void takeWord(const QString& word);
    void closeQuietly();

    QLineEdit& m_field;
    QWidget& m_host;
    WhisperServices m_services;
    Maximum m_maximum;
    bool m_followsCaret;
    Replace m_replace;
    std::function<bool()> m_tabClaimed;
    QPointer<WhisperList> m_list;
    QObject* m_focusOwner = nullptr;
};

// The one call a host makes for each whisper-enabled field. The hook belongs to
// the field. Dialog fields pass followsCaret false: without a caret to ask, they
// are served only while their text holds no blank.
WhisperHook* attachWhispers(QLineEdit& field, QWidget& host, const WhisperServices& services,
                            WhisperHook::Maximum maximum, bool followsCaret = false,
                            WhisperHook::Replace replace = {});

}  // namespace kolu
