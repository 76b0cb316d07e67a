#include "ui/widgets/background_picture.h"

#include <QImageReader>
#include <cerrno>

#include "connection/error_log.h"
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

}  // namespace kolu
