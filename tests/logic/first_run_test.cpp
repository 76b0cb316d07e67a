#include <gtest/gtest.h>

#include "platform/files.h"
#include "settings/setting_defaults.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

class FirstRun : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.clock.ticks = 4242;
        env.random.values = {249, 1000};  // -> 250 and 1
    }
    std::u16string text(std::u16string_view name, std::uint32_t size = 2002) {
        std::u16string value = u"<missing>";
        env.settings.RegCzytajMsg(name, value, size);
        return value;
    }
    test::SettingsEnv env;
};

TEST_F(FirstRun, FillsEveryDefault) {
    env.settings.setDefaultEmail(u"ala@localhost");
    env.settings.RegTworzKlucz();

    EXPECT_EQ(env.random.seedCalls, 1);
    EXPECT_EQ(env.random.seeded, 4242u);
    EXPECT_EQ(text(u"nick"), u"kolu250");
    EXPECT_EQ(text(u"alternick"), u"kolu1");
    EXPECT_EQ(text(u"email"), u"ala@localhost");
    for (auto name : {u"fullname", u"partmsg", u"quitmsg"}) {
        EXPECT_EQ(text(name), u"Marvoline Kolu v1.3") << toUtf8(name);
    }
    EXPECT_EQ(text(u"logpath"), fromUtf8(env.dir.path()));
    for (auto name : {u"bmpfile", u"ignore", u"hlights", u"notify"}) {
        EXPECT_EQ(text(name), u"") << toUtf8(name);
    }
    const std::pair<std::u16string_view, int> numbers[] = {
        {u"server", 0},     {u"short_jp", 0},  {u"show_adr", 0},    {u"rejoin", 0},
        {u"reconnect", 0},  {u"hideping", 0},  {u"skipmotd", 0},    {u"splashscr", 1},
        {u"Fonts", 34},     {u"bmp", 0},       {u"VGA", 0},         {u"bmpblend", 6},
        {u"snd_enable", 1}, {u"tstamps", 0},   {u"en_ignore", 0},   {u"en_hlights", 0},
        {u"en_notify", 0},  {u"not_whois", 0}, {u"logchan", 0},     {u"logpriv", 0},
        {u"logstat", 0},    {u"debug", 0},     {u"whsp_enable", 1}, {u"whspteach", 0},
        {u"whspback", 0},   {u"whspmax", 2},
    };
    for (const auto& [name, value] : numbers) {
        EXPECT_EQ(env.settings.RegCzytajLONG(name), value) << toUtf8(name);
    }
    ColourArray colours{}, defaults{};
    OpKoloryDomyslne(defaults);
    ASSERT_TRUE(env.settings.RegCzytajKolory(colours));
    EXPECT_EQ(colours, defaults);

    for (const SoundDefault& sound : kSoundDefaults) {
        std::u16string path = u"<none>";
        env.settings.RegWczytajDzwiek(sound.event, path);
        EXPECT_EQ(path, sound.file.empty() ? u"<none>"
                                           : fromUtf8(env.dir.path()) + std::u16string(sound.file))
            << toUtf8(sound.event);
    }
}

TEST_F(FirstRun, WritesValuesInTheirOrder) {
    env.settings.RegTworzKlucz();
    std::string file;
    ASSERT_EQ(readWholeFile(env.dir.file("registry"), file), 0);
    std::size_t previous = 0;
    for (const SettingDefault& setting : kSettingDefaults) {
        std::size_t at = file.find("\"" + toUtf8(setting.name) + "\"=");
        ASSERT_NE(at, std::string::npos) << toUtf8(setting.name);
        EXPECT_GT(at, previous) << toUtf8(setting.name);
        previous = at;
    }
}

TEST_F(FirstRun, ASecondStartWritesNothing) {
    env.settings.RegTworzKlucz();
    env.settings.RegZapiszMsg(u"nick", u"chosen", 120);
    std::string before;
    readWholeFile(env.dir.file("registry"), before);
    env.random.nextIndex = 0;
    env.settings.RegTworzKlucz();
    std::string after;
    readWholeFile(env.dir.file("registry"), after);
    EXPECT_EQ(before, after);
    EXPECT_EQ(env.random.seedCalls, 1);
}

TEST_F(FirstRun, WithoutTheKeyNothingIsCreated) {
    test::SettingsEnv bare;
    bare.settings.RegTworzKlucz();
    EXPECT_FALSE(bare.hasValue(kSettingsKey, u"server"));
    EXPECT_FALSE(fileExists(bare.dir.file("registry")));
}

TEST_F(FirstRun, NicknamesStayWithinOneTo250) {
    env.random.values = {0, 250 * 7 + 249};
    env.settings.RegTworzKlucz();
    EXPECT_EQ(text(u"nick"), u"kolu1");
    EXPECT_EQ(text(u"alternick"), u"kolu250");
}

}  // namespace
}  // namespace kolu
