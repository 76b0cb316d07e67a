#include "gui/user_list_view.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

#include "gui/background_picture.h"
#include "gui/qt_colour.h"
#include "gui/qt_font.h"
#include "gui/text_view_accessible.h"
#include "settings/settings.h"
#include "ui/tab_registry.h"

namespace kolu {
UserListView::UserListView(const UserList& users, const ColourTable& colours, QWidget* parent)
    : QAbstractScrollArea(parent), m_users(users), m_colours(colours) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // the one column is as wide as the list
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // A tap gives the list the keyboard, so its arrows can switch tabs.
    setFocusPolicy(Qt::ClickFocus);
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(kHoldMilliseconds);
    connect(&m_holdTimer, &QTimer::timeout, this,
            [this] { emit contextMenuRequested(viewport()->mapToGlobal(m_press)); });
    setListFont(fontWithCellHeight(m_rowHeight, font()), m_rowHeight);
    installViewAccessibility();
}

void UserListView::setListFont(const QFont& font, int fontSize) {
    setFont(font);
    m_rowHeight = std::max(1, fontSize);
    refresh();
}

void UserListView::setBackgroundPicture(const QImage* picture) {
    m_picture = picture;
    viewport()->update();
}

void UserListView::setSettings(Settings* settings) {
    m_settings = settings;
    viewport()->update();
}

void UserListView::refresh() {
    if (m_selected >= 0) {
        // Rows move as members come and go; the selection follows its member.
        const int row = m_users.find(m_selectedLabel);
        m_selected = row;
        m_selectedLabel = row >= 0 ? m_users.at(static_cast<std::size_t>(row)).label : u"";
    }
    updateScrollBar();
    viewport()->update();
}

void UserListView::setSelectedRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_users.size()) {
        m_selected = -1;
        m_selectedLabel.clear();
    } else {
        m_selected = row;
        m_selectedLabel = m_users.at(static_cast<std::size_t>(row)).label;
    }
    viewport()->update();
}

std::u16string UserListView::selectedLabel() const {
    return m_selected >= 0 ? m_selectedLabel : std::u16string();
}

int UserListView::topRow() const {
    return verticalScrollBar()->value();
}

int UserListView::rowAt(QPoint viewportPoint) const {
    if (viewportPoint.y() < 0) {
        return -1;
    }
    const long long row = topRow() + static_cast<long long>(viewportPoint.y() / m_rowHeight);
    return row < static_cast<long long>(m_users.size()) ? static_cast<int>(row) : -1;
}

void UserListView::updateScrollBar() {
    // Scrolled by whole rows, like the list control it stands for.
    const int visible = std::max(1, viewport()->height() / m_rowHeight);
    const int rows = static_cast<int>(std::min<std::size_t>(m_users.size(), 1u << 30));
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, rows - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(1);
}

void UserListView::ensureVisible(int row) {
    const int visible = std::max(1, viewport()->height() / m_rowHeight);
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + visible) {
        bar->setValue(row - visible + 1);
    }
}

void UserListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

bool UserListView::pictureShown() const {
    if (!m_picture || m_picture->isNull()) {
        return false;
    }
    return !m_settings || m_settings->switchOn(u"bmp");
}

void UserListView::paintBackground(QPainter& painter, const QRect& area, bool picture) const {
    if (picture && drawPictureUnder(painter, area, *m_picture, window()->size(),
                                    viewport()->mapTo(window(), area.topLeft()))) {
        return;
    }
    painter.fillRect(area, toQColor(m_colours[kUserListBackground]));
}

QColor UserListView::textColour(const std::u16string& label) const {
    const MemberRanks& ranks = m_users.ranks();
    const int rank = label.empty() ? -1 : ranks.rankOfSymbol(label.front());
    if (rank < 0) {
        return toQColor(m_colours[kUserColour]);
    }
    return toQColor(
        m_colours[ranks.showsAsOperator(static_cast<std::size_t>(rank)) ? kOperatorColour
                                                                        : kVoiceColour]);
}

QColor UserListView::rowColour(std::size_t row) const {
    const UserEntry& entry = m_users.at(row);
    const QColor text = textColour(entry.label);
    const MemberDetails* details = m_users.details(m_users.nicknameAt(row));
    if (!details || !details->away) {
        return text;
    }
    const QColor background = toQColor(m_colours[kUserListBackground]);
    return QColor((text.red() + background.red()) / 2, (text.green() + background.green()) / 2,
                  (text.blue() + background.blue()) / 2);
}

bool UserListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) {
        return QAbstractScrollArea::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos());
    std::u16string tip;
    if (row >= 0) {
        const std::u16string_view nickname = m_users.nicknameAt(static_cast<std::size_t>(row));
        tip = memberTooltip(nickname, m_users.details(nickname));
    }
    if (tip.empty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), QString::fromStdU16String(tip), viewport());
    }
    return true;
}

void UserListView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const bool picture = pictureShown();
    const int width = viewport()->width();
    const int height = viewport()->height();
    const std::size_t count = m_users.size();
    const std::size_t first = static_cast<std::size_t>(topRow());
    std::size_t last = first;  // one past the last row in view
    while (last < count && static_cast<long long>(last - first) * m_rowHeight < height) {
        ++last;
    }
    const QPalette& colours = palette();
    // Every background first, so a name's descenders are not painted over by the
    // next row's background.
    for (std::size_t row = first; row < last; ++row) {
        const QRect rect(0, static_cast<int>(row - first) * m_rowHeight, width, m_rowHeight);
        if (static_cast<int>(row) == m_selected) {
            painter.fillRect(rect, colours.color(QPalette::Active, QPalette::Highlight));
        } else {
            paintBackground(painter, rect, picture);
        }
    }
    const int end = static_cast<int>(last - first) * m_rowHeight;
    paintBackground(painter, QRect(0, end, width, height - end), picture);

    painter.setFont(font());
    for (std::size_t row = first; row < last; ++row) {
        const std::u16string& label = m_users.at(row).label;
        const QRect rect(0, static_cast<int>(row - first) * m_rowHeight, width, m_rowHeight);
        painter.setPen(static_cast<int>(row) == m_selected
                           ? colours.color(QPalette::Active, QPalette::HighlightedText)
                           : rowColour(row));
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                         QString::fromStdU16String(label));
    }
}

void UserListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_press = event->position().toPoint();
    setSelectedRow(rowAt(m_press));
    m_holdTimer.start();
}

void UserListView::mouseMoveEvent(QMouseEvent* event) {
    if (m_holdTimer.isActive() && (event->position().toPoint() - m_press).manhattanLength() >=
                                      QApplication::startDragDistance()) {
        m_holdTimer.stop();
    }
}

void UserListView::mouseReleaseEvent(QMouseEvent* event) {
    m_holdTimer.stop();
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void UserListView::contextMenuEvent(QContextMenuEvent* event) {
    m_holdTimer.stop();
    QPoint global = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        setSelectedRow(rowAt(event->pos()));  // like a list control, select what was tapped
    } else if (m_selected >= 0) {
        global = viewport()->mapToGlobal(QPoint(0, (m_selected - topRow()) * m_rowHeight));
    }
    emit contextMenuRequested(global);
    event->accept();
}

void UserListView::keyPressEvent(QKeyEvent* event) {
    const int count = static_cast<int>(std::min<std::size_t>(m_users.size(), 1u << 30));
    const int page = std::max(1, viewport()->height() / m_rowHeight);
    int row = m_selected;
    switch (event->key()) {
        case Qt::Key_Up:
            row = row < 0 ? 0 : row - 1;
            break;
        case Qt::Key_Down:
            row = row + 1;
            break;
        case Qt::Key_PageUp:
            row = std::max(0, row - page);
            break;
        case Qt::Key_PageDown:
            row = row + page;
            break;
        case Qt::Key_Home:
            row = 0;
            break;
        case Qt::Key_End:
            row = count - 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            event->accept();  // acted on when released
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    if (count > 0) {
        row = std::clamp(row, 0, count - 1);
        setSelectedRow(row);
        ensureVisible(row);
        if (QAccessible::isActive()) {
            // A screen reader reads the row the arrows moved to.
            QAccessibleEvent moved(this, QAccessible::Focus);
            moved.setChild(row - topRow());
            QAccessible::updateAccessibility(&moved);
        }
    }
    event->accept();
}

void UserListView::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat() && event->key() == Qt::Key_Left) {
        emit tabSwitchRequested(TabRegistry::kLeftArrow);
    } else if (!event->isAutoRepeat() && event->key() == Qt::Key_Right) {
        emit tabSwitchRequested(TabRegistry::kRightArrow);
    } else {
        QAbstractScrollArea::keyReleaseEvent(event);
    }
}

}  // namespace kolu
