#include "gui/splash.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <string_view>

#include "gui/qt_text_metrics.h"
#include "settings/setting_defaults.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

constexpr int kBelowMiddle = 22;
constexpr int kFontSize = 12;
constexpr int kTextLeft = 5;
constexpr int kNameTop = 100;
constexpr int kHintTop = 130;
constexpr std::u16string_view kHint = u"Tap logo to continue...";

}  // namespace

Splash::Splash(int scaleFactor, bool vga, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_scale(vga ? 1 : std::max(1, scaleFactor)),
      m_picture(kPicture) {
    setModal(true);
    setWindowTitle(QStringLiteral("Kolu"));
    setFixedSize(kWidth * m_scale, kHeight * m_scale);
    if (parent) {
        parent->installEventFilter(this);
    }
}

QRect Splash::placement() const {
    QSize area;
    if (parentWidget()) {
        area = parentWidget()->size();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableSize();
    }
    const int w = kWidth * m_scale;
    const int h = kHeight * m_scale;
    return {(area.width() - w) / 2, (area.height() - h) / 2 + kBelowMiddle, w, h};
}

void Splash::place() {
    const QRect where = placement();
    const QPoint corner =
        parentWidget() ? parentWidget()->mapToGlobal(where.topLeft()) : where.topLeft();
    if (geometry() != QRect(corner, where.size())) {
        setGeometry(QRect(corner, where.size()));
    }
}

bool Splash::eventFilter(QObject* watched, QEvent* event) {
    // Follows the main window while it moves or changes size.
    if (watched == parentWidget() && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        place();
    }
    return QDialog::eventFilter(watched, event);
}

void Splash::showEvent(QShowEvent* event) {
    place();
    QDialog::showEvent(event);
}

void Splash::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (m_picture.isNull()) {
        painter.fillRect(rect(), Qt::black);
    } else {
        painter.drawImage(rect(), m_picture);
    }
    QFont font = painter.font();
    font.setPixelSize(kFontSize * m_scale);
    const QtTextMetrics metrics(font);
    painter.setFont(metrics.font());
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int left = kTextLeft * m_scale;
    const int width = this->width() - left;
    // Laid out as the text view lays out a line, so a narrow splash wraps.
    const auto draw = [&](std::u16string_view text, int top) {
        int y = top;
        for (const WrapRow& row : wrapRows(text, width, metrics)) {
            const std::u16string_view part = text.substr(row.start, row.length);
            painter.drawText(left, y + metrics.ascent(),
                             QString::fromUtf16(part.data(), static_cast<qsizetype>(part.size())));
            y += metrics.lineHeight();
        }
    };
    draw(kProgramName, kNameTop * m_scale);
    draw(kHint, kHintTop * m_scale);
}

void Splash::mousePressEvent(QMouseEvent* event) {
    event->accept();
    accept();
}

}  // namespace kolu
