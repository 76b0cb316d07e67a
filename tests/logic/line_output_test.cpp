// Lines on their way to the screen and the logs: formatting codes, tabs, log files, sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "history/history_store.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/session_env.h"
#include "ui/event_sounds.h"
#include "ui/formatting.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using Files = std::vector<std::string>;

Files txtFiles(const std::string& folder) {
    Files names;
    listFolder(folder, "*.txt", names);
    std::sort(names.begin(), names.end());
    return names;
}

// Tabs: 0 Status, 1 #Chan, 2 nick, 3 &local; 40 characters per row, 13 px rows.
class LineOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        tabs.dodaj_status();
        for (const char16_t* name : {u"#Chan", u"nick", u"&local"}) {
            tabs.dodaj_zakladke(name);
        }
        env.putDword(kSettingsKey, u"tstamps", 0);
        env.putDword(kSettingsKey, u"debug", 1);
    }

    test::SettingsEnv env;
    test::RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
    test::FixedMetrics metrics;
    TabRegistry tabs{sounds, metrics};
    LineOutput output{tabs, env.settings, env.clock, env.log};
};

TEST_F(LineOutputTest, StampsShownHeightAnsweredHiddenTabsColouredSoundsLimited) {
    env.putString(kSettingsKey, u"tstamps", u"0");  // not a number: reads -1, so stamps are on
    env.clock.local.hour = 7;
    env.clock.local.minute = 5;
    EXPECT_EQ(output.RIDodajLinie(u"", u"hello", 0), 13);
    EXPECT_EQ(tabs.pobierz_lparam(0)->text.line(0).text, u"[07:05] hello");
    EXPECT_EQ(output.addLine(u"NICK", std::u16string(50, u'x'), 0), 26);  // found in any case

    // Hidden tabs take the line's colour.
    EXPECT_EQ(tabs.pobierz_lparam(2)->activity, kHiddenTabGrey);  // the line was black
    output.RIDodajLinie(u"", u"shown tab", 0x00FF00);             // the status tab is selected
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);
    // A line for a missing tab marks the status tab when it is hidden.
    ASSERT_TRUE(tabs.select(1));
    output.RIDodajLinie(u"ghost", u"lost", 0x123456);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0x123456u);

    // Each event's sound plays at most once a second, and only when sounds are on (snd_enable
    // is missing at first, which reads -1: on).
    env.putString(kSoundsKey, u"join", u"join.wav");
    env.putString(kSoundsKey, u"kick", u"sub/kick.wav");
    env.putString(kSoundsKey, u"part", u"");
    sounds.PlayWAV(u"join");
    env.clock.ticks += 999;
    for (const char16_t* event : {u"join", u"kick", u"part", u"quit"}) {
        sounds.PlayWAV(event);
    }
    env.clock.ticks += 1;
    sound.result = ENOENT;
    sounds.PlayWAV(u"join");
    EXPECT_EQ(env.logCount("PlayWAV\t\tPlaySoundW : " + std::to_string(ENOENT)), 1u);
    env.clock.ticks += 1000;
    env.putDword(kSettingsKey, u"snd_enable", 0);
    sounds.PlayWAV(u"join");  // plays nothing
    EXPECT_EQ(sound.played, (Files{env.dir.file("join.wav"), env.dir.file("sub/kick.wav"),
                                   env.dir.file("join.wav")}));
}

TEST_F(LineOutputTest, LogFilesHoldUtf8LinesWithoutCodesOneADayUnderAPrefixForTheChosenTabs) {
    env.putDword(kSettingsKey, u"logchan", 1);
    output.RIDodajLinie(u"#chan", u"za\u017C\u00F3\u0142\u0107 \U0001F600", 0);
    output.RIDodajLinie(u"#chan", u"\u000304,01red\u000f \u0002plain", 0);
    output.RIDodajLinie(u"#chan", std::u16string(u"ab\0cd", 5), 0);  // ends at the NUL
    EXPECT_EQ(tabs.pobierz_lparam(1)->text.line(2).text, u"ab");
    // The tab's own spelling names the file, whatever case the line came in.
    EXPECT_EQ(env.read("#Chan.2007-09-11.txt"),
              "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xF0\x9F\x98\x80\r\nred plain\r\nab\r\n");
    env.clock.local = SystemTime{2008, 3, 0, 5, 0, 1, 0, 0};  // the files below carry its date

    // The log path is a plain prefix; too long, it falls back to the installation folder.
    env.putString(kSettingsKey, u"logpath", fromUtf8(env.dir.file("logs/irc-")));
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("logs/irc-nick.2008-03-05.txt"));
    env.putString(kSettingsKey, u"logpath", std::u16string(200, u'x'));  // over 250 bytes
    EXPECT_EQ(output.logFilePath(u"nick"), env.dir.file("nick.2008-03-05.txt"));

    env.putString(kSettingsKey, u"logpath", fromUtf8(env.dir.file("missing/")));
    env.putDword(kSettingsKey, u"logpriv", 1);
    output.RIDodajLinie(u"nick", u"shown anyway", 0);
    EXPECT_EQ(tabs.pobierz_lparam(2)->text.line(0).text, u"shown anyway");
    EXPECT_EQ(env.logCount("loguj\t\tCreateFileW : " + std::to_string(ENOENT)), 1u);

    // Which tabs are logged under which logchan, logpriv and logstat: the file, if any.
    const std::tuple<std::u16string, int, int, int, const char*> cases[] = {
        {u"#Chan", 2, 1, 1, nullptr},
        {u"&local", 1, 0, 1, nullptr},  // a user list, but logged as a private tab
        {u"&local", 0, 1, 0, "&local.2008-03-05.txt"},
        {u"", 1, 1, 0, nullptr},
        {u"ghost", 0, 0, 1, "Status.2008-03-05.txt"},  // no such tab: status rules
    };
    for (const auto& [target, logchan, logpriv, logstat, file] : cases) {
        test::TempDir logs;
        env.putString(kSettingsKey, u"logpath", fromUtf8(logs.path()));
        env.putDword(kSettingsKey, u"logchan", logchan);
        env.putDword(kSettingsKey, u"logpriv", logpriv);
        env.putDword(kSettingsKey, u"logstat", logstat);
        output.RIDodajLinie(target, u"line", 0);
        EXPECT_EQ(txtFiles(logs.path()), file ? Files{file} : Files{}) << toUtf8(target);
    }
}

// The fixture's tabs are #Chan, nick and &local on "Libera"; a second run (a
// restart) opens #chan again over the same file.
TEST_F(LineOutputTest, StoredLinesComeBackDimmedAboveASeparatorWhenTheirTabOpensAgain) {
    test::TempDir logs;
    const std::string path = logs.file("history.sqlite");
    env.putString(kSettingsKey, u"logpath", fromUtf8(logs.path()));
    env.putDword(kSettingsKey, u"logchan", 1);
    env.putDword(kSettingsKey, u"histreplay", 2);
    {
        HistoryStore store;
        ASSERT_TRUE(store.open(path, nullptr));
        output.setHistory(&store);
        output.setNetwork(u"Libera");
        output.RIDodajLinie(u"#chan", u"<ann> one", 0x10);
        output.RIDodajLinie(u"#chan", u"* bob waves", 0x20);
        output.RIDodajLinie(u"#chan", u"<ann> three", 0x30);
        output.RIDodajLinie(u"", u"-NickServ- hi", 0x40);
        const std::vector<StoredLine> stored = store.lastLines(u"Libera", u"#CHAN", 9);
        ASSERT_EQ(stored.size(), 3u);
        EXPECT_EQ(stored[1].sender, u"bob");
        EXPECT_EQ(stored[2].sender, u"ann");
        EXPECT_EQ(stored[2].colour, 0x30u);
        EXPECT_EQ(store.lastLines(u"Libera", u"Status", 9).at(0).sender, u"");
        output.setHistory(nullptr);
    }
    HistoryStore store;
    ASSERT_TRUE(store.open(path, nullptr));
    const auto openAgain = [&](std::u16string network) {
        TabRegistry tabs{sounds, metrics};
        LineOutput again{tabs, env.settings, env.clock, env.log};
        tabs.dodaj_status();
        tabs.setOpenHook([&again](int index) { again.replayHistory(index); });
        again.setHistory(&store);
        again.setNetwork(std::move(network));
        const int index = tabs.dodaj_zakladke(u"#Chan");
        again.RIDodajLinie(u"#chan", u"<ann> four", 0x50);
        std::vector<TextLines::Line> shown;
        for (std::size_t i = 0; i < tabs.pobierz_lparam(index)->text.lineCount(); ++i) {
            shown.push_back(tabs.pobierz_lparam(index)->text.line(i));
        }
        return shown;
    };
    const std::vector<TextLines::Line> libera = openAgain(u"Libera");
    ASSERT_EQ(libera.size(), 4u);
    EXPECT_EQ(libera[0].text, u"* bob waves");
    EXPECT_EQ(libera[1].text, u"<ann> three");
    EXPECT_EQ(libera[1].colour, kHiddenTabGrey);
    EXPECT_EQ(libera[2].text, LineOutput::kReplaySeparator);
    EXPECT_EQ(libera[3].text, u"<ann> four");
    EXPECT_EQ(libera[3].colour, 0x50u);
    EXPECT_EQ(openAgain(u"OFTC").size(), 1u);  // the same name on another network
    // Shown again but not logged again: the log holds each line once.
    const std::string log = logs.read(txtFiles(logs.path()).at(0));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5);
}

// That no log file lands outside its folder, whatever the server names, is the protocol fuzz
// corpus replay's check (its log_names input among others).
TEST(LogFileNames, ServerChosenNamesLoseTheirSlashesNulsAndLeadingDot) {
    EXPECT_EQ(logSafeName(u"../../x"), u"_._.._x");  // a leading '.' would hide the file
    EXPECT_EQ(logSafeName(u"..."), u"_..");
    EXPECT_EQ(logSafeName(std::u16string(u"a\0b", 3)), u"a_b");
}

class CountingObserver final : public TabObserver {
  public:
    int events = 0;
    void tabRemoved(int) override { ++events; }
    void selectionChanged(int) override { ++events; }
    void labelColourChanged(int) override { ++events; }
    void focusInputRequested() override { ++events; }
};

using TabRegistryTest = LineOutputTest;

TEST_F(TabRegistryTest, BadIndexesAndArrowsPastTheEndsAreHarmlessAndRecordsStayPut) {
    CountingObserver observer;
    tabs.setObserver(&observer);
    for (int index : {-1, 4}) {
        EXPECT_EQ(tabs.pobierz_lparam(index), nullptr);
        EXPECT_EQ(tabs.pobierz_nazwe(index, 10), u"");
        EXPECT_FALSE(tabs.select(index));
        tabs.usun_zakladke(index);
        tabs.setActivity(index, 0xFF);
        EXPECT_EQ(tabs.labelColourForPaint(index), 0u);
    }
    tabs.usun_zakladke(0);  // the status tab stays
    tabs.usun_zakladkeT(u"");
    tabs.usun_zakladkeT(u"#gone");
    EXPECT_EQ(tabs.count(), 4);  // none added or removed
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));
    EXPECT_EQ(observer.events, 0);
    ASSERT_TRUE(tabs.select(3));
    observer.events = 0;
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));
    EXPECT_FALSE(tabs.PrzelaczZakladke(38));  // up arrow: not a switch
    EXPECT_EQ(observer.events, 0);

    // The views hold on to a tab's record and text while other tabs come and go.
    TextLines* local = tabs.pobierz_hwndtxt(u"&local");
    TabRecord* record = tabs.pobierz_lparam(3);
    tabs.usun_zakladke(1);
    tabs.usun_zakladke(1);
    EXPECT_EQ(tabs.pobierz_lparam(1), record);
    EXPECT_EQ(tabs.pobierz_hwndtxt(u"&local"), local);
}

StyleRun run(std::uint32_t start, std::uint32_t length, std::uint8_t flags,
             std::optional<Colour> fore = {}, std::optional<Colour> back = {}) {
    return {start,           length, flags, fore.has_value(), back.has_value(), fore.value_or(0),
            back.value_or(0)};
}

TEST(Formatting, LinesAsNetworksSendThemBecomePlainTextAndRuns) {
    constexpr Colour kRed = rgb(0xFF, 0, 0);
    constexpr std::uint8_t kOtherStyles = StyleRun::kItalic | StyleRun::kUnderline |
                                          StyleRun::kStrike | StyleRun::kMonospace |
                                          StyleRun::kReverse;
    const std::tuple<const char16_t*, const char16_t*, std::vector<StyleRun>> cases[] = {
        {u"\u000304,01red\u000f plain", u"red plain", {run(0, 3, 0, kRed, rgb(0, 0, 0))}},
        {u"\u0002bold\u0002 not", u"bold not", {run(0, 4, StyleRun::kBold)}},
        // A colour code without digits ends the colours.
        {u"\u00034red\u0003 default", u"red default", {run(0, 3, 0, kRed)}},
        // A comma without a digit after it is text.
        {u"\u000304,x", u",x", {run(0, 2, 0, kRed)}},
        // Two digits at most: the third is text.
        {u"\u0003123", u"3", {run(0, 1, 0, rgb(0, 0, 0xFC))}},
        // The extended palette; 99 is the default colour.
        {u"\u000328dark\u000399 back", u"dark back", {run(0, 4, 0, rgb(0x74, 0, 0))}},
        {u"\u0004FF8000orange\u0004 plain", u"orange plain", {run(0, 6, 0, rgb(0xFF, 0x80, 0))}},
        {u"\u001d\u001f\u001e\u0011\u0016x\u000fy", u"xy", {run(0, 1, kOtherStyles)}},
        // Other control characters are never shown; a tab is a blank.
        {u"a\u0001b\u0007c\td", u"abc d", {}},
        {u"\u0002\u0002same", u"same", {}},
        // Codes at the very end read nothing past the text.
        {u"x\u0003", u"x", {}},
        {u"x\u00031,", u"x,", {run(1, 1, 0, rgb(0, 0, 0))}},
        {u"x\u0004ABCDE", u"xABCDE", {}},  // not six hex digits: no colour
    };
    for (const auto& [raw, plain, runs] : cases) {
        const FormattedText parsed = parseFormatting(raw);
        EXPECT_EQ(toUtf8(parsed.plain), toUtf8(plain)) << toUtf8(raw);
        EXPECT_EQ(parsed.runs, runs) << toUtf8(raw);
    }
}

}  // namespace
}  // namespace kolu
