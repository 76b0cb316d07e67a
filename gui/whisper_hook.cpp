#include "gui/whisper_hook.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "completion/dictionary.h"
#include "completion/whisper_text.h"
#include "gui/whisper_list.h"
#include "settings/settings.h"

namespace kolu {

WhisperHook::WhisperHook(QLineEdit& field, QWidget& host, const WhisperServices& services,
                         Maximum maximum, bool followsCaret, Replace replace)
    : QObject(&field),
      m_field(field),
      m_host(host),
      m_services(services),
      m_maximum(std::move(maximum)),
      m_followsCaret(followsCaret),
      m_replace(std::move(replace)) {
    connect(&field, &QLineEdit::textEdited, this, &WhisperHook::fieldChanged);
    field.installEventFilter(this);
    // An editable combo box holds the focus and the keys for its edit field and
    // hands them on directly: watch it as well.
    if (auto* combo = qobject_cast<QComboBox*>(field.parentWidget());
        combo && combo->lineEdit() == &field) {
        m_focusOwner = combo;
        combo->installEventFilter(this);
    }
}

WhisperHook::~WhisperHook() {
    delete m_list;
}

WhisperList* WhisperHook::list() const {
    return m_list;
}

void WhisperHook::fieldChanged() {
    if (!m_services.settings.switchOn(u"whsp_enable")) {
        return;
    }
    const std::u16string text = m_field.text().toStdU16String();
    const std::size_t caret =
        m_followsCaret ? static_cast<std::size_t>(std::max(0, m_field.cursorPosition())) : 0;
    const std::optional<std::u16string> typed = typedWordFor(text, caret);
    if (!typed) {
        closeQuietly();
        return;
    }
    const WordLookup found = m_services.dictionary.lookup(*typed, m_maximum());
    if (!found.opened) {
        return;  // an unreadable dictionary leaves the list as it was
    }
    if (found.words.empty()) {
        closeQuietly();
        return;
    }
    if (!m_list) {
        m_list = new WhisperList(m_host, m_field, m_services.scaleFactor);
        connect(m_list, &WhisperList::taken, this, &WhisperHook::takeWord);
        connect(m_list, &WhisperList::dismissed, this, &WhisperHook::close);
    }
    m_list->setWords(found.words);
}

bool WhisperHook::take(int row) {
    if (!m_list || row < 0 || row >= m_list->rows()) {
        return false;
    }
    takeWord(m_list->word(row));
    return true;
}

void WhisperHook::takeWord(const QString& word) {
    const std::u16string text = m_field.text().toStdU16String();
    if (!text.empty()) {
        const QString taken =
            QString::fromStdU16String(takeSuggestion(text, word.toStdU16String()));
        if (m_replace) {
            m_replace(taken);
        } else {
            m_field.setText(taken);
        }
        m_field.setCursorPosition(static_cast<int>(taken.size()));
        m_field.update();
    }
    close();
}

void WhisperHook::close() {
    if (!m_list) {
        return;
    }
    closeQuietly();
    m_field.setFocus(Qt::OtherFocusReason);
    m_field.update();
}

void WhisperHook::closeQuietly() {
    if (m_list) {
        m_list->hide();
        m_list->deleteLater();
        m_list = nullptr;
    }
}

bool WhisperHook::eventFilter(QObject* watched, QEvent* event) {
    if ((watched != &m_field && watched != m_focusOwner) || !m_list) {
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        // The list never takes the focus: anywhere else the focus goes, it closes.
        closeQuietly();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier;
        if (tab && m_tabClaimed && m_tabClaimed()) {
            // The field's own Tab changes the word these rows were offered for.
            closeQuietly();
            return false;
        }
        if (tab || (key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier)) {
            take(0);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            close();
            return true;
        }
    }
    return false;
}

WhisperHook* attachWhispers(QLineEdit& field, QWidget& host, const WhisperServices& services,
                            WhisperHook::Maximum maximum, bool followsCaret,
                            WhisperHook::Replace replace) {
    return new WhisperHook(field, host, services, std::move(maximum), followsCaret,
                           std::move(replace));
}

}  // namespace kolu
