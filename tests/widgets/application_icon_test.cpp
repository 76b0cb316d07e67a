// The application icon the build embeds for the window (and installs for the
// desktop): every size is a PNG that a standard decoder reads back as exactly the
// pixels the generator drew.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QRegularExpression>

#include "resources/tools/icon_design.h"
#include "tests/support/qt_app.h"

namespace kolu {
namespace {

TEST(ApplicationIcon, EachEmbeddedSizeDecodesToTheDrawnPixels) {
    test::application();
    const QDir folder(QStringLiteral(":/icons"));
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    const QRegularExpression pattern(QStringLiteral("^icon_(\\d+)\\.png$"));
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        ASSERT_TRUE(match.hasMatch()) << name.toStdString();
        const int size = match.captured(1).toInt();
        const QImage image = QImage(folder.filePath(name)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(size, size)) << name.toStdString();
        const tools::RgbaPicture drawn = tools::drawIcon(size);
        int differing = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                const tools::Rgba expected = drawn.at(x, y);
                const bool same =
                    qAlpha(pixel) == expected.a &&
                    (expected.a == 0 || (qRed(pixel) == expected.r && qGreen(pixel) == expected.g &&
                                         qBlue(pixel) == expected.b));
                differing += same ? 0 : 1;
            }
        }
        EXPECT_EQ(differing, 0) << name.toStdString();
    }
}

}  // namespace
}  // namespace kolu
