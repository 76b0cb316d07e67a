#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sound.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/settings_env.h"
#include "ui/event_sounds.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

class RecordingSound final : public SoundPlayer {
  public:
    std::vector<std::string> played;
    int answer = 0;
    int playFileAsync(const std::string& path) override {
        played.push_back(path);
        return answer;
    }
};

class LabelObserver final : public TabObserver {
  public:
    std::vector<int> changed;
    void labelColourChanged(int index) override { changed.push_back(index); }
};

// Tabs: 0 Status, 1 #Chan, 2 nick, 3 &local; 40 characters per row, 13 px rows.
class LineOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.clock.local = SystemTime{2007, 9, 2, 11, 20, 8, 0, 0};
        tabs.dodaj_status();
        tabs.dodaj_zakladke(u"#Chan");
        tabs.dodaj_zakladke(u"nick");
        tabs.dodaj_zakladke(u"&local");
        tabs.setObserver(&labels);
        set(u"tstamps", 0);
    }
    void set(std::u16string_view name, std::uint32_t value) {
        env.putDword(kSettingsKey, name, value);
    }
    TextLines& view(int index) { return tabs.pobierz_lparam(index)->text; }
    std::string readLog(const std::string& name) {
        std::string bytes;
        readWholeFile(env.dir.file(name), bytes);
        return bytes;
    }
    std::vector<std::string> txtFiles(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".txt") {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::SettingsEnv env;
    RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
    test::FixedMetrics metrics;
    TabRegistry tabs{sounds, metrics};
    LabelObserver labels;
    LineOutput output{tabs, env.settings, env.clock, env.log};
};

TEST_F(LineOutputTest, TimeStampsAreShownAndLogged) {
    set(u"tstamps", 1);
    set(u"logstat", 1);
    env.clock.local.hour = 7;
    env.clock.local.minute = 5;
    output.RIDodajLinie(u"", u"hello", 0);
    EXPECT_EQ(view(0).line(0).text, u"[07:05] hello");
    EXPECT_EQ(readLog("Status.2007-09-11.txt"), "[07:05] hello\r\n");

    set(u"tstamps", 0);
    output.RIDodajLinie(u"", u"plain", 0);
    EXPECT_EQ(view(0).line(1).text, u"plain");
    // A value that isn't a number reads as missing, -1: non-zero, so stamps are on.
    env.putString(kSettingsKey, u"tstamps", u"0");
    output.RIDodajLinie(u"", u"again", 0);
    EXPECT_EQ(view(0).line(2).text, u"[07:05] again");
}

TEST_F(LineOutputTest, LinesFindTheirTabOrFallToStatus) {
    output.RIDodajLinie(u"#chan", u"to the channel", 1);
    output.RIDodajLinie(u"NICK", u"to the query", 2);
    output.RIDodajLinie(u"stranger", u"nobody's tab", 3);
    output.RIDodajLinie(u"", u"status", 4);
    ASSERT_EQ(view(1).lineCount(), 1u);
    EXPECT_EQ(view(1).line(0).text, u"to the channel");
    EXPECT_EQ(view(1).line(0).colour, 1u);
    ASSERT_EQ(view(2).lineCount(), 1u);
    EXPECT_EQ(view(2).line(0).text, u"to the query");
    ASSERT_EQ(view(0).lineCount(), 2u);
    EXPECT_EQ(view(0).line(0).text, u"nobody's tab");
    EXPECT_EQ(view(0).line(1).text, u"status");
    EXPECT_EQ(view(3).lineCount(), 0u);
}

TEST_F(LineOutputTest, AnswersTheViewsTotalHeight) {
    EXPECT_EQ(output.RIDodajLinie(u"nick", u"short", 0), 13);
    EXPECT_EQ(output.addLine(u"nick", std::u16string(50, u'x'), 0), 13 + 26);
    EXPECT_EQ(output.RIDodajLinie(u"", u"status", 0), 13);
}

TEST_F(LineOutputTest, WhichTabsAreLoggedUnderWhichSetting) {
    struct Case {
        std::u16string target;
        int logchan, logpriv, logstat;
        const char* file;  // nullptr: nothing logged
    };
    const Case cases[] = {
        {u"#Chan", 1, 0, 0, "#Chan.2007-09-11.txt"},
        {u"#Chan", 0, 1, 1, nullptr},
        {u"#Chan", 2, 1, 1, nullptr},
        {u"&local", 1, 0, 1, nullptr},  // a user list, but logged as a private tab
        {u"&local", 0, 1, 0, "&local.2007-09-11.txt"},
        {u"nick", 1, 0, 1, nullptr},
        {u"nick", 0, 1, 0, "nick.2007-09-11.txt"},
        {u"", 1, 1, 0, nullptr},
        {u"", 0, 0, 1, "Status.2007-09-11.txt"},
        {u"ghost", 1, 1, 0, nullptr},  // no such tab: status rules
        {u"ghost", 0, 0, 1, "Status.2007-09-11.txt"},
    };
    for (const Case& c : cases) {
        test::TempDir logs;
        env.putString(kSettingsKey, u"logpath", fromUtf8(logs.path()));
        set(u"logchan", c.logchan);
        set(u"logpriv", c.logpriv);
        set(u"logstat", c.logstat);
        output.RIDodajLinie(c.target, u"line", 0);
        std::vector<std::string> expected;
        if (c.file) {
            expected.push_back(c.file);
        }
        EXPECT_EQ(txtFiles(logs.path()), expected) << "target " << toUtf8(c.target);
    }
}

TEST_F(LineOutputTest, LogFilesHoldUtf8LinesEndedByCrLf) {
    set(u"logchan", 1);
    output.RIDodajLinie(u"#Chan", u"first", 0);
    output.RIDodajLinie(u"#chan", u"za\u017C\u00F3\u0142\u0107 \U0001F600", 0);
    output.RIDodajLinie(u"#chan",
                        u"\x03"
                        u"04,01red\x0f \x02plain",
                        0);  // codes are not logged
    // The tab's own spelling names the file, whatever case the line came in.
    EXPECT_EQ(readLog("#Chan.2007-09-11.txt"),
              "first\r\nza\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xF0\x9F\x98\x80\r\nred plain\r\n");
    EXPECT_EQ(txtFiles(env.dir.path()), (std::vector<std::string>{"#Chan.2007-09-11.txt"}));
}

TEST_F(LineOutputTest, EachDayHasItsOwnFile) {
    set(u"logpriv", 1);
    output.RIDodajLinie(u"nick", u"today", 0);
    env.clock.local = SystemTime{2008, 3, 0, 5, 0, 1, 0, 0};
    output.RIDodajLinie(u"nick", u"tomorrow", 0);
    EXPECT_EQ(readLog("nick.2007-09-11.txt"), "today\r\n");
    EXPECT_EQ(readLog("nick.2008-03-05.txt"), "tomorrow\r\n");
}

TEST_F(LineOutputTest, LogPathIsAPlainPrefix) {
    ASSERT_EQ(makeFolders(env.dir.file("logs")), 0);
    env.putString(kSettingsKey, u"logpath", fromUtf8(env.dir.file("logs/irc-")));
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("logs/irc-nick.2007-09-11.txt"));
    // Empty or unreadable, the logs go to the installation folder, logpath's default.
    env.putString(kSettingsKey, u"logpath", u"");
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("nick.2007-09-11.txt"));
    env.putDword(kSettingsKey, u"logpath", 7);
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("nick.2007-09-11.txt"));
    env.putString(kSettingsKey, u"logpath", std::u16string(200, u'x'));  // over 250 bytes
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("nick.2007-09-11.txt"));
}

TEST_F(LineOutputTest, ServerChosenNamesNeverLeaveTheLogFolder) {
    struct Case {
        std::u16string name;
        std::u16string safe;
    };
    const Case cases[] = {
        {u"#../../x", u"#.._.._x"},
        {u"../../x", u"_._.._x"},  // a leading '.' would hide the file
        {u"..", u"__"},
        {u".", u"_"},
        {u"a/b", u"a_b"},
        {u"...", u"_.."},
        {std::u16string(u"a\0b", 3), u"a_b"},
        {u"/", u"_"},
        {u"nick", u"nick"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(logSafeName(c.name), c.safe) << toUtf8(c.name);
    }

    ASSERT_EQ(makeFolders(env.dir.file("a/b/logs")), 0);
    env.putString(kSettingsKey, u"logpath", fromUtf8(env.dir.file("a/b/logs/")));
    set(u"logchan", 1);
    set(u"logpriv", 1);
    for (std::u16string_view name : {u"#../../x", u"..", u"a/b"}) {
        tabs.dodaj_zakladke(name);
        output.RIDodajLinie(name, u"escape?", 0);
    }
    EXPECT_EQ(txtFiles(env.dir.file("a/b/logs")),
              (std::vector<std::string>{"#.._.._x.2007-09-11.txt", "__.2007-09-11.txt",
                                        "a_b.2007-09-11.txt"}));
    EXPECT_TRUE(txtFiles(env.dir.file("a")).empty());
    EXPECT_TRUE(txtFiles(env.dir.path()).empty());
}

TEST_F(LineOutputTest, AFailedLogIsReportedAndTheLineStillShown) {
    set(u"debug", 1);
    set(u"logpriv", 1);
    env.putString(kSettingsKey, u"logpath", fromUtf8(env.dir.file("missing/")));
    EXPECT_EQ(output.RIDodajLinie(u"nick", u"shown anyway", 0), 13);
    EXPECT_EQ(view(2).line(0).text, u"shown anyway");
    EXPECT_NE(env.decodedLog().find("loguj\t\tCreateFileW : " + std::to_string(ENOENT)),
              std::string::npos)
        << env.decodedLog();
}

TEST_F(LineOutputTest, HiddenTabsTakeTheLinesColour) {
    output.RIDodajLinie(u"nick", u"black line", 0);
    EXPECT_EQ(tabs.pobierz_lparam(2)->activity, kHiddenTabGrey);
    output.RIDodajLinie(u"nick", u"red line", 0x0000FF);
    EXPECT_EQ(tabs.pobierz_lparam(2)->activity, 0x0000FFu);
    output.RIDodajLinie(u"", u"shown tab", 0x00FF00);  // the status tab is selected
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);
    EXPECT_EQ(labels.changed, (std::vector<int>{2, 2}));

    // A line for a missing tab marks the status tab when it is hidden.
    ASSERT_TRUE(tabs.select(1));
    output.RIDodajLinie(u"ghost", u"lost", 0x123456);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0x123456u);
    // The mark lasts until the tab is selected and painted.
    EXPECT_EQ(tabs.labelColourForPaint(2), 0x0000FFu);
    ASSERT_TRUE(tabs.select(2));
    EXPECT_EQ(tabs.labelColourForPaint(2), 0u);
}

TEST_F(LineOutputTest, ALineEndsAtItsFirstNul) {
    set(u"logstat", 1);
    output.RIDodajLinie(u"", std::u16string(u"ab\0cd", 5), 0);
    EXPECT_EQ(view(0).line(0).text, u"ab");
    EXPECT_EQ(readLog("Status.2007-09-11.txt"), "ab\r\n");
}

TEST(LineOutput, WithoutAStatusTabNothingIsShown) {
    test::SettingsEnv env;
    env.install();
    RecordingSound sound;
    EventSounds sounds(env.settings, sound, env.log);
    test::FixedMetrics metrics;
    TabRegistry tabs(sounds, metrics);
    LineOutput output(tabs, env.settings, env.clock, env.log);
    EXPECT_EQ(output.RIDodajLinie(u"", u"early", 0), 0);
    EXPECT_EQ(output.RIDodajLinie(u"nick", u"early", 0), 0);
}

class EventSoundsTest : public ::testing::Test {
  protected:
    void SetUp() override { env.install(); }
    test::SettingsEnv env;
    RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
};

TEST_F(EventSoundsTest, PlaysTheEventsFileFromTheInstallationFolder) {
    env.putDword(kSettingsKey, u"snd_enable", 1);
    env.putString(kSoundsKey, u"join", u"join.wav");
    env.putString(kSoundsKey, u"kick", u"sub/kick.wav");
    EXPECT_EQ(sounds.PlayWAV(u"join"), 1);
    sounds.PlayWAV(u"kick");
    EXPECT_EQ(sound.played,
              (std::vector<std::string>{env.dir.file("join.wav"), env.dir.file("sub/kick.wav")}));
}

TEST_F(EventSoundsTest, OneEventsSoundPlaysAtMostOncePerSecond) {
    env.putString(kSoundsKey, u"join", u"join.wav");
    env.putString(kSoundsKey, u"kick", u"kick.wav");
    sounds.PlayWAV(u"join");
    env.clock.ticks += 999;
    sounds.PlayWAV(u"join");
    sounds.PlayWAV(u"kick");
    env.clock.ticks += 1;
    sounds.PlayWAV(u"join");
    EXPECT_EQ(sound.played,
              (std::vector<std::string>{env.dir.file("join.wav"), env.dir.file("kick.wav"),
                                        env.dir.file("join.wav")}));
}

TEST_F(EventSoundsTest, SoundsOffReadsAndPlaysNothing) {
    env.putDword(kSettingsKey, u"debug", 1);
    env.putDword(kSettingsKey, u"snd_enable", 0);
    // No sounds subkey: reading it would be reported in the error log.
    EXPECT_EQ(sounds.PlayWAV(u"join"), 1);
    EXPECT_TRUE(sound.played.empty());
    EXPECT_EQ(env.decodedLog(), "");

    env.putDword(kSettingsKey, u"snd_enable", 1);
    sounds.PlayWAV(u"join");
    EXPECT_NE(env.decodedLog().find("RegWczytajDzwiek"), std::string::npos);
    EXPECT_TRUE(sound.played.empty());
}

TEST_F(EventSoundsTest, MissingOrEmptyValuesPlayNothing) {
    // snd_enable missing reads -1: sounds are on.
    env.putString(kSoundsKey, u"part", u"");
    env.putString(kSoundsKey, u"op", u"op.wav");
    sounds.PlayWAV(u"part");
    sounds.PlayWAV(u"quit");
    EXPECT_TRUE(sound.played.empty());
    sounds.PlayWAV(u"op");
    EXPECT_EQ(sound.played, (std::vector<std::string>{env.dir.file("op.wav")}));
}

TEST_F(EventSoundsTest, AFailedPlayIsReported) {
    env.putDword(kSettingsKey, u"debug", 1);
    env.putString(kSoundsKey, u"ping", u"ping.wav");
    sound.answer = ENOENT;
    EXPECT_EQ(sounds.PlayWAV(u"ping"), 1);
    EXPECT_NE(env.decodedLog().find("PlayWAV\t\tPlaySoundW : " + std::to_string(ENOENT)),
              std::string::npos)
        << env.decodedLog();
}

}  // namespace
}  // namespace kolu
