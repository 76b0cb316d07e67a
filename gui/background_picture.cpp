#include "gui/background_picture.h"

#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <cerrno>

#include "settings/error_log.h"
#include "ui/background_blend.h"

namespace kolu {

QImage WczytajTlo(const QString& path, int level, ErrorLog& log) {
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || qint64{size.width()} * size.height() > kMaxPicturePixels) {
        log.LogError(u"SHLoadDIBitmap", u"WczytajTlo", size.isValid() ? EFBIG : ENOENT);
        return {};
    }
    QImage image = reader.read();
    if (image.isNull()) {
        log.LogError(u"SHLoadDIBitmap", u"WczytajTlo", EINVAL);
        return {};
    }
    image = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        lightenTowardWhite(image.scanLine(y), static_cast<std::size_t>(image.width()) * 3, level);
    }
    return image;
}

bool drawPictureUnder(QPainter& painter, const QRect& target, const QImage& picture, QSize window,
                      QPoint origin) {
    const long long right = window.width();
    const long long height = window.height();
    if (right <= 0 || height <= 0 || target.isEmpty()) {
        return false;
    }
    const long long pw = picture.width();
    const long long ph = picture.height();
    const QRect source(static_cast<int>(pw * origin.x() / right),
                       static_cast<int>(ph * origin.y() / height),
                       std::max(1, static_cast<int>(pw * target.width() / right)),
                       std::max(1, static_cast<int>(ph * target.height() / height)));
    painter.drawImage(target, picture, source);
    return true;
}

}  // namespace kolu
