// What a start relies on: the services over a fresh folder write every setting
// and shipped file once, one instance runs per runtime folder, and the embedded
// icon is exactly what its generator drew.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>

#include "app/services.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/qt/single_instance.h"
#include "platform/text.h"
#include "resources/tools/icon_design.h"
#include "tests/support/temp_dir.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

TEST(Startup, FirstStartWritesEverySettingAndShippedFileASecondChangesNoSetting) {
    test::TempDir dir;
    test::ScopedXdg xdg{dir};
    std::string before;
    {
        Services services(dataFolder(), registryFile());
        std::u16string email;
        services.settings.RegCzytajMsg(u"email", email, 240);
        EXPECT_EQ(email, fromUtf8(loginName()) + u"@localhost");
        EXPECT_EQ(services.settings.CzytajInstallDir(), fromUtf8(dataFolder()));
        EXPECT_TRUE(fileExists(dataFolder() + "help/help.html"));  // the rest: shipped files' tests
        ASSERT_EQ(readWholeFile(registryFile(), before), 0);
    }
    Services second(dataFolder(), registryFile());
    std::string after;
    readWholeFile(registryFile(), after);
    EXPECT_EQ(before, after);
}

// A crashed instance leaves a socket path nobody listens on: it blocks no start.
TEST(SingleInstance, AStaleSocketBlocksNothingAndASecondStartRaisesTheFirstOrAsksForAWindow) {
    test::TempDir runtime, elsewhere;
    const QString folder = QString::fromStdString(runtime.path());
    SingleInstance first(folder);
    ASSERT_EQ(writeFileAtomically(first.socketPath().toStdString(), "stale"), 0);
    ASSERT_FALSE(first.handOverToRunningInstance());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);
    SingleInstance second(folder);
    EXPECT_TRUE(second.handOverToRunningInstance());
    EXPECT_TRUE(raised.wait(3000));
    QSignalSpy newWindow(&first, &SingleInstance::newWindowRequested);
    EXPECT_TRUE(SingleInstance(folder).handOverToRunningInstance(QString(), true));
    EXPECT_TRUE(newWindow.wait(3000));
    EXPECT_EQ(raised.count(), 1);  // asked for a window of its own, not to raise one
    SingleInstance other(QString::fromStdString(elsewhere.path()));  // runtime folders never meet
    EXPECT_FALSE(other.handOverToRunningInstance());
}

TEST(ApplicationIcon, EachEmbeddedSizeDecodesToTheDrawnPixels) {
    const QDir folder(QStringLiteral(":/icons"));
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        const auto match = QRegularExpression(QStringLiteral("^icon_(\\d+)\\.png$")).match(name);
        ASSERT_TRUE(match.hasMatch()) << name.toStdString();
        const int size = match.captured(1).toInt();
        const QImage image = QImage(folder.filePath(name)).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(size, size)) << name.toStdString();
        const tools::RgbaPicture drawn = tools::drawIcon(size);
        int differing = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const tools::Rgba want = drawn.at(x, y);  // colour only counts where opaque
                const QRgb pixel = image.pixel(x, y);
                differing += pixel != qRgba(want.r, want.g, want.b, want.a) &&
                             (want.a != 0 || qAlpha(pixel) != 0);
            }
        }
        EXPECT_EQ(differing, 0) << name.toStdString();
    }
}

}  // namespace
}  // namespace kolu
