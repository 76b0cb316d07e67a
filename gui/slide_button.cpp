#include "gui/slide_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "gui/qt_colour.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

constexpr int kSide = 20;         // unscaled button size
constexpr int kInitialX = 170;    // before the first lay-out
constexpr int kInitialRise = 40;  // above the tab strip's bottom, before the first lay-out
constexpr int kRise = 20;         // the button's bottom edge above the tab strip's bottom
constexpr int kHalfWidth = 10;    // the button is centred on the boundary

// y of `widget`'s bottom edge in `target`'s coordinates.
int bottomIn(const QWidget& widget, const QWidget& target) {
    const QPoint corner(0, widget.height());
    if (target.isAncestorOf(&widget)) {
        return widget.mapTo(&target, corner).y();
    }
    return target.mapFromGlobal(widget.mapToGlobal(corner)).y();
}

}  // namespace

SlideButton::SlideButton(TabRegistry& tabs, QWidget& tabStrip, const ColourTable& colours,
                         int scaleFactor, QWidget* parent)
    : DrawnButton(parent), m_tabs(tabs), m_tabStrip(tabStrip), m_colours(colours) {
    using namespace button_pictures;
    setPictures(kBase, kSlide, kSlidePressed);
    setScaleFactor(scaleFactor);
    if (parent) {
        move(kInitialX, bottomIn(m_tabStrip, *parent) - kInitialRise * m_scale);
    }
    hide();  // until a channel tab is shown
    raise();
}

void SlideButton::setScaleFactor(int scaleFactor) {
    m_scale = std::max(1, scaleFactor);
    resize(kSide * m_scale, kSide * m_scale);
}

void SlideButton::setBackgroundPicture(const QImage* picture) {
    m_picture = picture;
    update();
}

void SlideButton::setSettings(Settings* settings) {
    m_settings = settings;
    update();
}

void SlideButton::layOut(QWidget* textView, QWidget* userList) {
    m_textView = textView;
    m_userList = userList;
    layOutWindows();
}

int SlideButton::clientWidth() const {
    return parentWidget() ? parentWidget()->width() : 0;
}

void SlideButton::layOutWindows() {
    const TabRecord* record = m_tabs.pobierz_lparam(m_tabs.selected());
    if (!record || !parentWidget()) {
        return;
    }
    const int w = clientWidth();
    const int listWidth = record->userListWidth;
    move(w - kHalfWidth * m_scale - listWidth,
         bottomIn(m_tabStrip, *parentWidget()) - kRise * m_scale - height());
    int top = 0;
    if (m_textView) {
        const QRect view = m_textView->geometry();
        top = view.y();
        m_textView->setGeometry(view.x(), view.y(), std::max(0, w - listWidth), view.height());
    } else if (m_userList) {
        top = m_userList->y();
    }
    if (m_userList) {
        m_userList->setGeometry(w - listWidth, top, std::max(0, listWidth), m_userList->height());
    }
}

void SlideButton::applyBoundary() {
    TabRecord* record = m_tabs.pobierz_lparam(m_tabs.selected());
    if (!record) {
        return;
    }
    record->userListWidth = clientWidth() - m_boundaryX;
    layOutWindows();
    emit widthChanged(record->userListWidth);
}

void SlideButton::paintBackground(QPainter& painter) {
    const bool pictureShown =
        m_picture && !m_picture->isNull() && (!m_settings || m_settings->switchOn(u"bmp"));
    if (pictureShown) {
        paintPictureUnder(painter, *this, rect(), *m_picture);
        return;
    }
    // The three windows that meet at the button: text view above left, user list
    // above right, the input-line colour below.
    const int w = width();
    const int h = height();
    painter.fillRect(QRect(0, h / 2, w, h - h / 2), toQColor(m_colours[kInputBackground]));
    painter.fillRect(QRect(0, 0, w / 2, h / 2), toQColor(m_colours[kTextViewBackground]));
    painter.fillRect(QRect(w / 2, 0, w - w / 2, h / 2), toQColor(m_colours[kUserListBackground]));
}

void SlideButton::mousePressEvent(QMouseEvent* event) {
    DrawnButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_boundaryX = -1;
    m_pressX = event->position().toPoint().x();
}

void SlideButton::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || m_pressX == -1) {
        DrawnButton::mouseMoveEvent(event);
        return;
    }
    const int x = event->position().toPoint().x();
    if (x == m_pressX) {
        return;
    }
    m_pressX = x;
    // Applied in this order, so in a window too narrow for both limits the user
    // list keeps its minimum.
    const int w = clientWidth();
    m_boundaryX = std::max(x + this->x(), kMinimumWidth * m_scale);
    m_boundaryX = std::min(m_boundaryX, w - kMinimumWidth * m_scale);
    applyBoundary();
}

void SlideButton::mouseReleaseEvent(QMouseEvent* event) {
    DrawnButton::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (m_boundaryX != -1) {
        applyBoundary();
    }
    m_pressX = -1;
    m_boundaryX = -1;
    emit dragFinished();
}

}  // namespace kolu
