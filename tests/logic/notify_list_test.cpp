// The notify list: building it from the setting, announcing who comes and goes,
// the query it sends, and the /whois for newcomers.
#include <gtest/gtest.h>

#include "commands/command_parser.h"
#include "commands/notify_list.h"
#include "platform/text.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

constexpr SocketHandle kSocket = 7;

class RecordingRunner final : public CommandRunner {
  public:
    std::vector<std::pair<std::u16string, std::u16string>> runs;
    int ParsujKomende(std::u16string_view command, std::u16string_view target) override {
        runs.emplace_back(command, target);
        return 0;
    }
};

std::vector<std::u16string> namesOf(const NotifyEntries& entries) {
    std::vector<std::u16string> names;
    for (const NotifyEntry& entry : entries) {
        names.push_back(entry.name);
    }
    return names;
}

TEST(NotifyListCreate, SplitsAtEverySpaceAndCutsLongNames) {
    struct Case {
        std::u16string text;
        std::vector<std::u16string> names;
    };
    const std::u16string seventy(70, u'n');
    const Case cases[] = {
        {u"Alice bob ", {u"Alice", u"bob"}},
        {u"alice bob", {u"alice", u"bob"}},
        {u" a  b ", {u"a", u"b"}},  // empty entries are skipped
        {u"", {}},
        {u" ", {}},
        {seventy + u" x ", {seventy.substr(0, 63), u"x"}},
        // A character of two units is never split at the cut.
        {std::u16string(62, u'p') + u"\U0001F600" + u" ", {std::u16string(62, u'p')}},
    };
    for (const Case& c : cases) {
        const NotifyEntries entries = NotifyList::NotifyList_Create(c.text);
        EXPECT_EQ(namesOf(entries), c.names) << toUtf8(c.text);
        for (const NotifyEntry& entry : entries) {
            EXPECT_FALSE(entry.online);
        }
    }
}

TEST(NotifyListFind, MatchesIgnoringCaseAndTakesTheListsSpelling) {
    const NotifyEntries list = NotifyList::NotifyList_Create(u"ALICE Bob ");
    std::u16string name = u"alice";
    EXPECT_EQ(NotifyList::NotifyList_Find(list, name), 1);
    EXPECT_EQ(name, u"ALICE");
    name = u"bo";
    EXPECT_EQ(NotifyList::NotifyList_Find(list, name), 0);
    EXPECT_EQ(name, u"bo");
}

class NotifyListTest : public ::testing::Test {
  protected:
    NotifyListTest() {
        sockets.acceptSends = true;
        env.session.state.socket = kSocket;
        env.settings.settings.RegZapiszLONG(u"not_whois", 0);
    }
    void watch(std::u16string_view list) {
        env.settings.settings.RegZapiszMsg(u"notify", list, kSpecialListSize);
        notify.NotifyList_Delete();
        notify.NotifyList_Load();
    }
    std::vector<std::u16string> takeLines() {
        std::vector<std::u16string> texts;
        for (const test::PrintedLine& line : printer.lines) {
            EXPECT_EQ(line.target, u"");
            EXPECT_EQ(line.colour, env.colours.of(LineClass::Notify));
            texts.push_back(line.text);
        }
        printer.lines.clear();
        return texts;
    }
    using Lines = std::vector<std::u16string>;

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
    test::RecordingPrinter printer;
    RecordingRunner runner;
    NotifyList notify{
        {env.session.state, env.session.connection, printer, env.settings.settings, env.colours},
        &runner};
};

TEST_F(NotifyListTest, AnnouncesArrivalsAndDeparturesOnceEach) {
    watch(u"Alice bob ");
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Lines{u"*** alice is on IRC"});
    EXPECT_EQ(notify.entries()[0].name, u"alice");  // the answer's spelling
    EXPECT_TRUE(notify.entries()[0].online);
    EXPECT_FALSE(notify.entries()[1].online);

    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Lines{});

    notify.NotifyList_Update(u"BOB alice");
    EXPECT_EQ(takeLines(), Lines{u"*** BOB is on IRC"});

    notify.NotifyList_Update(u"");
    EXPECT_EQ(takeLines(), (Lines{u"*** alice has left IRC", u"*** BOB has left IRC"}));
    EXPECT_TRUE(runner.runs.empty());  // not_whois is 0
}

TEST_F(NotifyListTest, AResetAnnouncesEveryoneAgain) {
    watch(u"alice bob ");
    notify.NotifyList_Update(u"alice bob");
    takeLines();
    notify.NotifyList_Reset();  // the connection closed
    notify.NotifyList_Update(u"Alice bob");
    EXPECT_EQ(takeLines(), (Lines{u"*** Alice is on IRC", u"*** bob is on IRC"}));
}

TEST_F(NotifyListTest, ReloadingFollowsTheSettingAndStartsOffline) {
    watch(u"alice ");
    notify.NotifyList_Update(u"alice");
    takeLines();
    watch(u"carol alice ");
    EXPECT_EQ(namesOf(notify.entries()), (Lines{u"carol", u"alice"}));
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Lines{u"*** alice is on IRC"});
}

TEST_F(NotifyListTest, LongNicknamesAreWatchedUnderTheirFirst63Characters) {
    const std::u16string seventy = u"N" + std::u16string(69, u'x');
    watch(seventy + u" ");
    notify.NotifyList_Update(u"n" + std::u16string(69, u'x'));
    EXPECT_EQ(takeLines(), Lines{u"*** n" + std::u16string(62, u'x') + u" is on IRC"});
    // The first 63 characters alone are the same nickname to the list.
    notify.NotifyList_Update(u"N" + std::u16string(62, u'x'));
    EXPECT_EQ(takeLines(), Lines{});
}

TEST_F(NotifyListTest, NewcomersAreLookedUpWhenNotWhoisIsOn) {
    watch(u"alice bob ");
    env.settings.settings.RegZapiszLONG(u"not_whois", 1);
    notify.NotifyList_Update(u"alice bob");
    EXPECT_EQ(takeLines(), (Lines{u"*** alice is on IRC", u"*** bob is on IRC"}));
    using Run = std::pair<std::u16string, std::u16string>;
    EXPECT_EQ(runner.runs, (std::vector<Run>{{u"/whois alice", u""}, {u"/whois bob", u""}}));

    // A departure is never looked up.
    runner.runs.clear();
    notify.NotifyList_Update(u"bob");
    EXPECT_TRUE(runner.runs.empty());
}

TEST_F(NotifyListTest, TheWhoisGoesThroughTheCommandLineToTheServer) {
    CommandParser parser({env.session.state, env.session.connection, env.session.tabs, printer,
                          env.settings.settings, env.colours, env.settings.clock, env.host});
    notify.setCommandRunner(&parser);
    env.settings.settings.RegZapiszLONG(u"not_whois", 1);
    watch(u"alice ");
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(sockets.sent, std::vector<std::string>{"whois alice\n"});
}

TEST_F(NotifyListTest, TheQueryIsTheStoredListAsItIs) {
    watch(u"alice bob ");
    notify.NotifyList_Ison();
    watch(u"");
    notify.NotifyList_Ison();
    EXPECT_EQ(sockets.sent, (std::vector<std::string>{"ISON alice bob \n", "ISON \n"}));
}

}  // namespace
}  // namespace kolu
