#include <gtest/gtest.h>

#include "app/services.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/shipped_resources.h"
#include "settings/setting_defaults.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

bool hasValue(RegistryStore& store, std::u16string_view key, std::u16string_view name) {
    RegKey handle;
    if (store.openKey(key, handle) != kErrorSuccess) {
        return false;
    }
    std::uint32_t size = 0;
    bool present = store.queryValue(handle, name, nullptr, nullptr, &size) == kErrorSuccess;
    store.closeKey(handle);
    return present;
}

class Startup : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
    test::TempDir dir;
    test::ScopedXdg xdg{dir};
};

TEST_F(Startup, FirstStartWritesEverySettingAndShippedFile) {
    Services services(dataFolder(), registryFile());
    EXPECT_TRUE(services.store.corruptFileKeptAs().empty());
    EXPECT_TRUE(services.install.failures.empty());
    for (const SettingDefault& setting : kSettingDefaults) {
        EXPECT_TRUE(hasValue(services.store, kSettingsKey, setting.name)) << toUtf8(setting.name);
    }
    for (const SoundDefault& sound : kSoundDefaults) {
        EXPECT_TRUE(hasValue(services.store, kSoundsKey, sound.event)) << toUtf8(sound.event);
    }
    EXPECT_TRUE(hasValue(services.store, kSettingsKey, u"dictpath"));
    EXPECT_EQ(services.settings.CzytajInstallDir(), fromUtf8(dataFolder()));

    const QStringList shipped = koluShippedFiles();
    for (const char* name : {"servers.txt", "join.wav", "part.wav", "notice.wav", "highlight.wav",
                             "quit.wav", "ping.wav", "kick.wav", "op.wav", "help/help.html"}) {
        EXPECT_TRUE(shipped.contains(QString::fromUtf8(name))) << name;
        EXPECT_TRUE(fileExists(dataFolder() + name)) << name;
    }
    EXPECT_FALSE(services.settings.listInstallFiles(u"*.bmp").empty());

    std::u16string email;
    services.settings.RegCzytajMsg(u"email", email, 240);
    EXPECT_EQ(email, fromUtf8(loginName()) + u"@localhost");
    EXPECT_EQ(services.colours.of(LineClass::Join), 0x00FF00u);
}

TEST_F(Startup, ASecondStartWritesNothing) {
    { Services first(dataFolder(), registryFile()); }
    std::string before;
    ASSERT_EQ(readWholeFile(registryFile(), before), 0);
    Services second(dataFolder(), registryFile());
    EXPECT_TRUE(second.install.copied.empty());
    EXPECT_FALSE(second.install.wroteInstallDir);
    std::string after;
    readWholeFile(registryFile(), after);
    EXPECT_EQ(before, after);
}

}  // namespace
}  // namespace kolu
