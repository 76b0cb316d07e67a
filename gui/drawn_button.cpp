#include "gui/drawn_button.h"

#include <QPainter>
#include <algorithm>

namespace kolu {
namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr int kCapColumns = 8;
constexpr qsizetype kMaxTextCharacters = 60;

}  // namespace

QImage keyedOut(const QImage& picture, QRgb key) {
    if (picture.isNull()) {
        return {};
    }
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb opaqueKey = key | 0xFF000000;
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x) {
            if ((row[x] | 0xFF000000) == opaqueKey) {
                row[x] = 0;
            }
        }
    }
    return keyed;
}

void DrawBtn(QPainter& painter, const QRect& client, const QImage& keyedBase,
             const QImage& keyedOverlay) {
    if (client.isEmpty()) {
        return;
    }
    // Nearest-neighbour stretching, as the handheld's transparent blit did: the
    // pixel art keeps its hard edges and the keyed pixels stay fully clear.
    for (const QImage* picture : {&keyedBase, &keyedOverlay}) {
        if (!picture->isNull()) {
            painter.drawImage(client, picture->scaled(client.size(), Qt::IgnoreAspectRatio,
                                                      Qt::FastTransformation));
        }
    }
}

void paintPictureUnder(QPainter& painter, const QWidget& widget, const QRect& client,
                       const QImage& picture) {
    const QWidget* top = widget.window();
    const long long right = top->width();
    const long long bottom = top->height();
    if (picture.isNull() || right <= 0 || bottom <= 0 || client.isEmpty()) {
        return;
    }
    const QPoint origin = widget.mapTo(top, client.topLeft());
    const long long pw = picture.width();
    const long long ph = picture.height();
    const QRect source(static_cast<int>(pw * origin.x() / right),
                       static_cast<int>(ph * origin.y() / bottom),
                       std::max(1, static_cast<int>(pw * client.width() / right)),
                       std::max(1, static_cast<int>(ph * client.height() / bottom)));
    painter.drawImage(client, picture, source);
}

QImage composeTexture(const QImage& bitmap, int width) {
    if (bitmap.isNull() || width <= 0) {
        return {};
    }
    const int height = bitmap.height();
    const int middle = bitmap.width() - 2 * kCapColumns;
    QImage face(width, height, QImage::Format_RGB32);
    face.fill(Qt::black);
    QPainter painter(&face);
    painter.drawImage(QPoint(0, 0), bitmap, QRect(0, 0, kCapColumns, height));
    if (width > 2 * kCapColumns && middle > 0) {
        painter.drawImage(QRect(kCapColumns, 0, width - 2 * kCapColumns, height), bitmap,
                          QRect(kCapColumns, 0, middle, height));
    }
    painter.drawImage(QPoint(width - kCapColumns, 0), bitmap,
                      QRect(bitmap.width() - kCapColumns, 0, kCapColumns, height));
    return face;
}

void DrawBtnBkgndTexture(QPainter& painter, const QRect& client, const QImage& bitmap,
                         const QImage& disabledBitmap, bool enabled, bool pressed,
                         const QString& text, int scaleFactor) {
    const QImage& source = enabled ? bitmap : disabledBitmap;
    QColor textColour = Qt::black;
    if (!enabled) {
        textColour = QColor(0x80, 0x80, 0x80);
    } else if (pressed) {
        textColour = QColor(0xFF, 0xFF, 0x00);
    }
    const QImage face = composeTexture(source, client.width() / std::max(1, scaleFactor));
    if (!face.isNull()) {
        painter.drawImage(
            client, keyedOut(face, kBlack)
                        .scaled(client.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
    painter.setPen(textColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(client, Qt::AlignCenter, text.left(kMaxTextCharacters));
}

DrawnButton::DrawnButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void DrawnButton::setPictures(const QString& base, const QString& normal, const QString& pressed) {
    m_base = keyedOut(QImage(base), kBlack);
    m_normal = keyedOut(QImage(normal), kWhite);
    m_pressed = keyedOut(QImage(pressed), kWhite);
    update();
}

QSize DrawnButton::sizeHint() const {
    return {20, 20};
}

void DrawnButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintBackground(painter);
    DrawBtn(painter, rect(), m_base, isDown() ? m_pressed : m_normal);
}

void DrawnButton::paintBackground(QPainter& painter) {
    painter.fillRect(rect(), palette().color(QPalette::Button));
}

FullScreenButton::FullScreenButton(QWidget* parent) : DrawnButton(parent) {
    setFullScreenState(false);
}

void FullScreenButton::setFullScreenState(bool fullScreen) {
    m_fullScreen = fullScreen;
    using namespace button_pictures;
    if (fullScreen) {
        setPictures(kBase, kLeaveFullScreen, kLeaveFullScreenPressed);
    } else {
        setPictures(kBase, kFullScreen, kFullScreenPressed);
    }
}

}  // namespace kolu
