#pragma once
// WczytajTlo: the background picture read with Qt's image reader (BMP, PNG,
// JPEG, any depth) and lightened toward white by the blend level. A file that
// can't be read, or whose size is beyond any screen (a damaged or hostile
// header), gives no picture and is reported; it is never decoded.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

class QPainter;

namespace kolu {

class ErrorLog;

// Pictures larger than this many pixels are refused before decoding.
inline constexpr qint64 kMaxPicturePixels = qint64{8192} * 8192;

// The picture blended by `level` (0 to 10), or a null image (reported under
// "WczytajTlo") when it can't be read.
QImage WczytajTlo(const QString& path, int level, ErrorLog& log);

// The picture covers the whole main window; a view shows the part under it. Draws
// into `target` the part of `picture` under a rectangle of target's size placed
// at `origin` in a window of `window`'s size. False, nothing drawn, when the
// window or the target is empty.
bool drawPictureUnder(QPainter& painter, const QRect& target, const QImage& picture, QSize window,
                      QPoint origin);

}  // namespace kolu
