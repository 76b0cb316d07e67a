#include "gui/text_view_links.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QUrl>

#include "gui/color_edit.h"
#include "gui/qt_text.h"
#include "gui/qt_text_metrics.h"
#include "ui/link_finder.h"

namespace kolu {

void DesktopLinkOpener::openLink(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (m_ircHandler && (scheme == u"irc" || scheme == u"ircs")) {
        m_ircHandler(address);
        return;
    }
    QDesktopServices::openUrl(url);
}

QString linkUnder(ColorEdit& view, QPoint point) {
    for (const PlacedLine& line : view.linesInView()) {
        if (line.top <= point.y() && point.y() < line.top + line.height) {
            const std::u16string text = view.lines().line(line.index).text;
            const std::optional<LinkRange> link =
                linkAtPoint(text, view.lines().width(), view.textMetrics(), point.x(),
                            static_cast<int>(point.y() - line.top));
            return link ? qs(linkAddress(text, *link)) : QString();
        }
    }
    return {};
}

TextViewLinks::TextViewLinks(ColorEdit& view) : QObject(&view), m_view(view) {
    view.viewport()->setMouseTracking(true);  // the hand follows the pointer without a button
    view.viewport()->installEventFilter(this);
}

bool TextViewLinks::eventFilter(QObject* /*watched*/, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool onLink = mouse->buttons() == Qt::NoButton &&
                                !linkUnder(m_view, mouse->position().toPoint()).isEmpty();
            if (onLink != m_hand) {
                m_hand = onLink;
                if (onLink) {
                    m_view.viewport()->setCursor(Qt::PointingHandCursor);
                } else {
                    m_view.viewport()->unsetCursor();
                }
            }
            break;
        }
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_pressed.clear();
            if (mouse->button() == Qt::LeftButton) {
                m_pressPoint = mouse->position().toPoint();
                m_pressed = linkUnder(m_view, m_pressPoint);
                m_pressTime.start();
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint point = mouse->position().toPoint();
            // A drag selects and a hold opens the menu: neither is a click.
            const bool click =
                mouse->button() == Qt::LeftButton && !m_pressed.isEmpty() &&
                (point - m_pressPoint).manhattanLength() < QApplication::startDragDistance() &&
                m_pressTime.elapsed() < ColorEdit::kHoldMilliseconds;
            const QString address = std::exchange(m_pressed, QString());
            if (click && linkUnder(m_view, point) == address) {
                // After the view has seen the release: an irc:// address may ask a
                // question in a dialog of its own.
                QMetaObject::invokeMethod(
                    this,
                    [this, address] {
                        if (m_opener) {
                            m_opener->openLink(address);
                        } else {
                            DesktopLinkOpener().openLink(address);
                        }
                    },
                    Qt::QueuedConnection);
            }
            break;
        }
        case QEvent::ToolTip: {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString address = linkUnder(m_view, help->pos());
            if (address.isEmpty()) {
                QToolTip::hideText();
                event->ignore();
            } else {
                QToolTip::showText(help->globalPos(), address, m_view.viewport());
            }
            return true;
        }
        default:
            break;
    }
    return false;
}

}  // namespace kolu
