#include "gui/input_line.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSignalBlocker>
#include <QWheelEvent>

#include "commands/nick_completion.h"
#include "gui/drawn_button.h"
#include "gui/qt_colour.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

QString toQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

bool hasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r');
}

// With Alt held a key is a system key (Alt+Down opens the list), which the
// edit field's own rules leave alone.
bool plainKey(const QKeyEvent& event) {
    return !(event.modifiers() & Qt::AltModifier);
}

// Ctrl+B, K, I, U and O put in the codes for bold, colour, italic, underline and
// plain, as other clients do; 0 for any other key.
char16_t formattingCodeFor(const QKeyEvent& event) {
    if ((event.modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) {
        return 0;
    }
    switch (event.key()) {
        case Qt::Key_B:
            return 0x02;
        case Qt::Key_K:
            return 0x03;
        case Qt::Key_I:
            return 0x1D;
        case Qt::Key_U:
            return 0x1F;
        case Qt::Key_O:
            return 0x0F;
        default:
            return 0;
    }
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_AltGr || key == Qt::Key_Meta;
}

}  // namespace

// The edit control inside the combo box: every event goes to the line edit as
// usual; the owner's handlers (editproc) run before or after it.
class InputEdit final : public QLineEdit {
  public:
    explicit InputEdit(InputLine& owner) : QLineEdit(&owner), m_owner(owner) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (m_owner.editKeyPressed(event)) {
            return;
        }
        if (event->matches(QKeySequence::Paste) &&
            m_owner.enterPastedLines(QApplication::clipboard()->text())) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        update();
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        QLineEdit::keyReleaseEvent(event);
        m_owner.editKeyReleased(event);
    }
    void focusOutEvent(QFocusEvent* event) override {
        // A popup (the edit menu, the history list) leaves the caret and the
        // selection alone, as the handheld's menus never took the focus.
        if (event->reason() != Qt::PopupFocusReason) {
            m_owner.editFocusOut();
        }
        QLineEdit::focusOutEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        if (event->reason() != Qt::PopupFocusReason) {
            m_owner.editFocusIn();
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        QLineEdit::mousePressEvent(event);
        if (event->button() == Qt::LeftButton) {
            m_owner.editPressed(event->position().toPoint());
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        QLineEdit::mouseMoveEvent(event);
        m_owner.editMoved(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        // The middle button pastes the selection where the system keeps one.
        QClipboard* clipboard = QApplication::clipboard();
        if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() &&
            m_owner.enterPastedLines(clipboard->text(QClipboard::Selection))) {
            event->accept();
        } else {
            QLineEdit::mouseReleaseEvent(event);
        }
        m_owner.editReleased();
    }
    void dropEvent(QDropEvent* event) override {
        const QMimeData* data = event->mimeData();
        if (data && data->hasText() && hasLineBreak(data->text())) {
            deselect();
            setCursorPosition(cursorPositionAt(event->position().toPoint()));
            m_owner.enterPastedLines(data->text());
            event->acceptProposedAction();
            return;
        }
        QLineEdit::dropEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        event->accept();
        m_owner.InputContextMenu(event->globalPos());
    }
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            m_owner.paintEditBackground(painter, rect());
        }
        QLineEdit::paintEvent(event);
    }

  private:
    InputLine& m_owner;
};

InputLine::InputLine(InputLineModel& model, const ColourTable& colours, QWidget* parent)
    : QComboBox(parent), m_model(model), m_colours(colours), m_edit(new InputEdit(*this)) {
    setEditable(true);
    setLineEdit(m_edit);
    // The list is the model's history: nothing typed is added by the combo box
    // itself, and nothing is completed from it while typing.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setDuplicatesEnabled(true);
    m_edit->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_edit->setFrame(false);
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(kHoldMilliseconds);
    connect(&m_holdTimer, &QTimer::timeout, this, &InputLine::onHoldTimeout);
    // Only the user's edits go to the model: the combo box rewriting the field
    // for a picked entry is followed through the index instead.
    connect(m_edit, &QLineEdit::textEdited, this, &InputLine::onTextEdited);
    connect(this, &QComboBox::currentIndexChanged, this, &InputLine::onIndexChanged);
    refreshColours();
    m_model.setObserver(this);
    historyChanged();
}

InputLine::~InputLine() {
    m_model.setObserver(nullptr);
}

QLineEdit* InputLine::editControl() const {
    return m_edit;
}

void InputLine::setBackgroundPicture(const QImage* picture) {
    m_picture = picture;
    m_edit->update();
}

void InputLine::setSettings(Settings* settings) {
    m_settings = settings;
    m_edit->update();
}

void InputLine::refreshColours() {
    // The combo box's own field shows the background colour around the edit
    // control; the edit control paints its background itself, so its base is clear.
    QPalette outer = palette();
    outer.setColor(QPalette::Base, toQColor(m_colours[kInputBackground]));
    outer.setColor(QPalette::Text, toQColor(m_colours[kInputText]));
    setPalette(outer);
    QPalette inner = m_edit->palette();
    inner.setColor(QPalette::Base, Qt::transparent);
    inner.setColor(QPalette::Text, toQColor(m_colours[kInputText]));
    m_edit->setPalette(inner);
    m_edit->update();
}

void InputLine::Focus2Input() {
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->update();
}

void InputLine::setCaret(int position) {
    m_savedCaret = position;
    m_edit->setCursorPosition(position);
    m_edit->update();
}

bool InputLine::editKeyPressed(QKeyEvent* event) {
    if (const char16_t code = formattingCodeFor(*event)) {
        event->accept();
        m_edit->insert(QString(QChar(code)));
        onTextEdited(m_edit->text());
        return true;
    }
    if (!plainKey(*event)) {
        return false;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            m_model.resetHistoryPosition();
            emit entered();
            return true;
        case Qt::Key_Escape:
            event->accept();
            emit escaped();
            return true;
        case Qt::Key_Up:
            event->accept();
            m_model.historyUp();
            Focus2Input();
            return true;
        case Qt::Key_Down:
            event->accept();
            m_model.historyDown();
            Focus2Input();
            return true;
        default:
            return false;
    }
}

void InputLine::editKeyReleased(QKeyEvent* event) {
    // Only the final release of a held key counts, as one release was all the
    // handheld reported.
    if (event->isAutoRepeat() || !plainKey(*event)) {
        return;
    }
    if (event->key() == Qt::Key_Left) {
        emit switchTab(TabRegistry::kLeftArrow);
    } else if (event->key() == Qt::Key_Right) {
        emit switchTab(TabRegistry::kRightArrow);
    }
}

void InputLine::editFocusOut() {
    m_holdTimer.stop();
    m_savedCaret = m_edit->hasSelectedText() ? m_edit->selectionStart() : m_edit->cursorPosition();
}

void InputLine::editFocusIn() {
    m_edit->setCursorPosition(m_savedCaret);
}

void InputLine::keyPressEvent(QKeyEvent* event) {
    // The combo box would walk its list with Up and Down itself; the edit
    // control's rules come first.
    if (editKeyPressed(event)) {
        return;
    }
    // The combo box would also step through its list with the page keys,
    // replacing the typed line: only Up and Down walk the history.
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool InputLine::event(QEvent* event) {
    // Tab reaches keyPressEvent only after focus navigation has passed it over.
    if (event->type() == QEvent::KeyPress && nickKeyPressed(static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return QComboBox::event(event);
}

bool InputLine::completesNickname() const {
    return m_nicks && m_nicks->completes(m_edit->text().toStdU16String(),
                                         static_cast<std::size_t>(m_edit->cursorPosition()));
}

bool InputLine::nickKeyPressed(QKeyEvent* event) {
    if (!m_nicks) {
        return false;
    }
    const int key = event->key();
    const bool tab = (key == Qt::Key_Tab || key == Qt::Key_Backtab) &&
                     !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (!tab) {
        // Shift on its way to Shift+Tab leaves the cycle going.
        if (!isModifierKey(key)) {
            m_nicks->endCycle();
        }
        return false;
    }
    event->accept();
    const bool backwards = key == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
    const std::optional<CompletedLine> completed =
        m_nicks->complete(m_edit->text().toStdU16String(),
                          static_cast<std::size_t>(m_edit->cursorPosition()), backwards);
    if (completed) {
        m_model.setText(completed->text);
        setCaret(static_cast<int>(completed->caret));
    }
    return true;
}

void InputLine::wheelEvent(QWheelEvent* event) {
    // Not the combo box's stepping through the history either.
    event->accept();
}

void InputLine::editPressed(QPoint position) {
    m_press = position;
    m_holdTimer.start();
}

void InputLine::editMoved(QPoint position) {
    if (m_holdTimer.isActive() &&
        (position - m_press).manhattanLength() >= QApplication::startDragDistance()) {
        m_holdTimer.stop();
    }
}

void InputLine::editReleased() {
    m_holdTimer.stop();
}

void InputLine::onHoldTimeout() {
    InputContextMenu(m_edit->mapToGlobal(m_press));
}

std::unique_ptr<QMenu> InputLine::createEditMenu() {
    // No parent: the caller alone owns the menu.
    auto menu = std::make_unique<QMenu>();
    const bool selected = m_edit->hasSelectedText();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    const bool text = clip && clip->hasText();
    const struct {
        const char* label;
        EditCommand command;
        bool enabled;
    } items[] = {{"Cut", kCut, selected},
                 {"Copy", kCopy, selected},
                 {"Paste", kPaste, text},
                 {"Delete", kDelete, selected}};
    for (const auto& item : items) {
        QAction* action = menu->addAction(QString::fromLatin1(item.label));
        action->setData(static_cast<int>(item.command));
        action->setEnabled(item.enabled);
    }
    return menu;
}

void InputLine::InputContextMenu(QPoint globalPosition) {
    m_holdTimer.stop();
    const std::unique_ptr<QMenu> menu = createEditMenu();
    const QAction* chosen = menu->exec(globalPosition);
    if (chosen) {
        runEditCommand(chosen->data().toInt());
    }
    m_edit->update();
}

void InputLine::runEditCommand(int command) {
    switch (command) {
        case kCut:
            m_edit->cut();
            break;
        case kCopy:
            m_edit->copy();
            break;
        case kPaste:
            if (!enterPastedLines(QApplication::clipboard()->text())) {
                m_edit->paste();
            }
            break;
        case kDelete:
            // Clear: only the selection goes (the item is grey without one).
            if (m_edit->hasSelectedText()) {
                m_edit->del();
            }
            break;
        default:
            break;
    }
}

bool InputLine::enterPastedLines(const QString& text) {
    if (!hasLineBreak(text)) {
        return false;
    }
    QString line = m_edit->text();
    int caret = m_edit->cursorPosition();
    if (m_edit->hasSelectedText()) {
        caret = m_edit->selectionStart();
        line.remove(caret, m_edit->selectedText().size());
    }
    line.insert(caret, text);
    m_model.setText(line.toStdU16String());
    m_model.resetHistoryPosition();
    // Refused lines stay in the field (shown with blanks for the breaks) for
    // another Enter.
    emit entered();
    return true;
}

void InputLine::paintEditBackground(QPainter& painter, const QRect& client) {
    const bool pictureShown =
        m_picture && !m_picture->isNull() && (!m_settings || m_settings->switchOn(u"bmp"));
    if (pictureShown) {
        paintPictureUnder(painter, *m_edit, client, *m_picture);
        return;
    }
    painter.fillRect(client, toQColor(m_colours[kInputBackground]));
}

void InputLine::textChanged() {
    showModelText();
}

void InputLine::historyChanged() {
    {
        QSignalBlocker block(this);
        m_showingModel = true;
        clear();
        QStringList entries;
        entries.reserve(static_cast<qsizetype>(m_model.history().size()));
        for (const std::u16string& entry : m_model.history()) {
            entries.append(toQString(entry));
        }
        addItems(entries);
        m_showingModel = false;
    }
    showModelText();
}

void InputLine::showModelText() {
    const QString text = toQString(m_model.text());
    QSignalBlocker block(this);
    m_showingModel = true;
    const int wanted = m_model.selection();
    if (currentIndex() != wanted) {
        // Changing the index rewrites the edit field; typing keeps its caret.
        const int caret = m_edit->cursorPosition();
        const bool typed = wanted < 0;
        setCurrentIndex(wanted);
        if (m_edit->text() != text) {
            m_edit->setText(text);
        }
        if (typed) {
            m_edit->setCursorPosition(caret);
        }
    } else if (m_edit->text() != text) {
        m_edit->setText(text);
    }
    m_showingModel = false;
}

void InputLine::onTextEdited(const QString& text) {
    m_model.setText(text.toStdU16String());
    emit textEdited(text);
}

void InputLine::onIndexChanged(int index) {
    // The user picked a line from the drop-down list.
    if (!m_showingModel && index >= 0) {
        m_model.select(index);
    }
}

}  // namespace kolu
