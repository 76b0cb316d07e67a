// The notify list over MONITOR: the server's offer, the lines that hand it the
// list, its answers, and that the ISON poll stays quiet meanwhile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/notify_list.h"
#include "platform/text.h"
#include "protocol/monitor.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;
using Sent = std::vector<std::string>;

TEST(MonitorLines, NamesGoInOrderAndEachLineHoldsAsManyAs510BytesAllow) {
    EXPECT_TRUE(monitorAddLines({}).empty());
    EXPECT_EQ(monitorAddLines({u"alice", u"Bob"}), Texts{u"MONITOR + alice,Bob"});
    // "MONITOR + " and three names of 166 bytes with their two commas: 510 exactly.
    const std::u16string name(166, u'a');
    EXPECT_EQ(monitorAddLines({name, name, name}).size(), 1u);
    EXPECT_EQ(monitorAddLines({name, name, name, u"b"}).size(), 2u);

    // Letters of two bytes each: the limit counts bytes, not characters.
    Texts nicks;
    for (int i = 0; i < 60; ++i) {
        nicks.push_back(u"n" + decimalText(i) + std::u16string(20, u'\u0142'));
    }
    const Texts lines = monitorAddLines(nicks);
    ASSERT_GT(lines.size(), 1u);
    Texts named;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string& line = lines[i];
        EXPECT_LE(toUtf8(line).size(), 510u);
        ASSERT_TRUE(line.starts_with(u"MONITOR + ")) << toUtf8(line);
        const std::size_t first = named.size();
        std::u16string_view rest = std::u16string_view(line).substr(10);
        for (std::size_t comma; (comma = rest.find(u',')) != rest.npos;
             rest.remove_prefix(comma + 1)) {
            named.emplace_back(rest.substr(0, comma));
        }
        named.emplace_back(rest);
        if (i > 0) {
            // The previous line was full: this line's first name would not have fitted.
            EXPECT_GT(toUtf8(lines[i - 1]).size() + 1 + toUtf8(named[first]).size(), 510u);
        }
    }
    EXPECT_EQ(named, nicks);
}

TEST(MonitorOffer, ReadFromTheFeaturesReplyAndForgottenAtTheNextWelcome) {
    const std::pair<std::u16string_view, std::optional<std::size_t>> cases[] = {
        {u"MONITOR=100", 100}, {u"MONITOR", 0},     {u"MONITOR=", 0},
        {u"MONITOR=ten", 0},   {u"MONITORS=3", {}}, {u"WATCH=128", {}},
    };
    for (const auto& [token, limit] : cases) {
        test::HandlerEnv env;
        env.dispatch(u":srv 005 me CHANTYPES=# " + std::u16string(token) +
                     u" :are supported by this server");
        EXPECT_EQ(env.state().monitorLimit, limit) << toUtf8(token);
        env.dispatch(u":srv 001 me :Welcome");
        EXPECT_FALSE(env.state().monitorLimit) << toUtf8(token);
    }
}

// A session whose handlers reach its notify list.
struct NotifyEnv : test::HandlerEnv {
    NotifyEnv() {
        context.notify = &notify();
        state().currentNick = u"me";
        settings().RegZapiszLONG(u"not_whois", 0);
        settings().RegZapiszLONG(u"en_notify", 1);
    }
    NotifyList& notify() { return env.session.notify; }
    void watch(std::u16string_view list) {
        settings().RegZapiszMsg(u"notify", list, kSpecialListSize);
        notify().NotifyList_Delete();
        notify().NotifyList_Load();
    }
    Sent takeSent() {
        Sent lines = sockets.sentLines();
        sockets.sent.clear();
        return lines;
    }
};

// What the user sees and what goes to the server while the list's people come and go.
struct Outcome {
    Texts lines;
    std::vector<Colour> colours;
    std::vector<std::string> sounds;
    Sent sent;
    bool operator==(const Outcome&) const = default;
};

Outcome watchComingAndGoing(bool monitor) {
    NotifyEnv env;
    env.settings().RegZapiszLONG(u"not_whois", 1);
    env.setSound(u"notify", u"notify.wav");
    env.watch(u"Alice bob carol ");
    if (monitor) {
        env.state().monitorLimit = 10;
        env.notify().NotifyList_Ison();
        EXPECT_EQ(env.takeSent(), Sent{"MONITOR + Alice,bob,carol"});
        env.dispatch(u":srv 730 me :alice!a@host,bob!b@host");
        env.dispatch(u":srv 731 me :alice");
        env.dispatch(u":srv 730 me :CAROL!c@host");
        env.dispatch(u":srv 731 me :nobody");  // not on the list
    } else {
        env.dispatch(u":srv 303 me :alice bob");
        env.dispatch(u":srv 303 me :bob");
        env.dispatch(u":srv 303 me :bob CAROL");
    }
    Outcome out{env.lines(), {}, env.soundsPlayed(), env.takeSent()};
    const TextLines& status = *env.tabs().pobierz_hwndtxtbiez(0);
    for (std::size_t i = 0; i < status.lineCount(); ++i) {
        out.colours.push_back(status.line(i).colour);
    }
    return out;
}

TEST(MonitorAnswers, ArrivalsAndDeparturesShowAsTheIsonAnswersShowThem) {
    const Outcome byIson = watchComingAndGoing(false);
    EXPECT_EQ(byIson.lines.size(), 4u);  // three came, one went
    EXPECT_EQ(byIson.sent.size(), 3u);   // each newcomer looked up
    EXPECT_EQ(watchComingAndGoing(true), byIson);
}

TEST(MonitorAnswers, TheListGoesOnceWithinTheLimitAndTheServersListRepliesAreQuiet) {
    NotifyEnv env;
    env.watch(u"a b c ");
    env.state().monitorLimit = 2;
    env.notify().NotifyList_Ison();
    EXPECT_EQ(env.takeSent(), Sent{"MONITOR + a,b"});
    ASSERT_EQ(env.lines().size(), 1u);
    EXPECT_TRUE(env.lines()[0].ends_with(u"not watched: c")) << toUtf8(env.lines()[0]);
    env.notify().NotifyList_Ison();  // the poll's next turn
    EXPECT_EQ(env.takeSent(), Sent{});

    env.dispatch(u":srv 732 me :a,b");
    env.dispatch(u":srv 733 me :End of MONITOR list");
    EXPECT_EQ(env.lines().size(), 1u);
    env.dispatch(u":srv 734 me 2 x,y :Monitor list is full.");
    EXPECT_EQ(env.lines().size(), 2u);
    EXPECT_TRUE(env.lines()[1].ends_with(u"not watched: x y")) << toUtf8(env.lines()[1]);
    EXPECT_EQ(env.lastColour(), env.env.colours.of(LineClass::Info));
    env.dispatch(u":srv 734 me");  // too short to name anyone: still no crash
    EXPECT_EQ(env.lines().size(), 3u);

    // A new list replaces the old; with the notify switch off the server watches none.
    env.watch(u"d ");
    EXPECT_EQ(env.takeSent(), (Sent{"MONITOR C", "MONITOR + d"}));
    env.settings().RegZapiszLONG(u"en_notify", 0);
    env.watch(u"e ");
    EXPECT_EQ(env.takeSent(), Sent{"MONITOR C"});
    env.watch(u"f ");
    EXPECT_EQ(env.takeSent(), Sent{});
}

TEST(MonitorAnswers, ANewConnectionPollsWithIsonUntilItsServerOffersMonitor) {
    NotifyEnv env;
    env.watch(u"a b ");
    env.state().monitorLimit = 0;
    env.notify().NotifyList_Ison();
    EXPECT_EQ(env.takeSent(), Sent{"MONITOR + a,b"});
    env.notify().NotifyList_Reset();  // the connection closed
    env.dispatch(u":srv 001 me :Welcome");
    env.notify().NotifyList_Ison();
    EXPECT_EQ(env.takeSent(), Sent{"ISON a b "});

    // With the extensions switched off an offer changes nothing.
    env.settings().RegZapiszLONG(u"ircv3", 0);
    env.dispatch(u":srv 005 me MONITOR=100 :are supported by this server");
    env.notify().NotifyList_Ison();
    EXPECT_EQ(env.takeSent(), Sent{"ISON a b "});
}

TEST(MonitorOnTheWire, ThePollHandsTheServerTheListAndSendsNoIson) {
    test::FakeIrcServer server;
    test::SessionEnv env;
    env.useServer(server.port());
    env.setUser();
    env.settings.settings.RegZapiszMsg(u"notify", u"alice bob ", kSpecialListSize);
    env.settings.settings.RegZapiszLONG(u"not_whois", 0);
    env.settings.settings.RegZapiszLONG(u"en_notify", 1);
    env.session.notify.NotifyList_Load();
    env.session.connection.connectCommand();
    ASSERT_TRUE(server.waitForClient());
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    ASSERT_TRUE(
        server.send(":irc.test 001 tester :Welcome\r\n"
                    ":irc.test 005 tester MONITOR=100 :are supported by this server\r\n"));
    ASSERT_TRUE(env.pollUntil([&] { return !env.session.state.currentNick.empty(); }));
    for (int tick = 0; tick < 50; ++tick) {  // past two turns of the ISON poll
        env.session.connection.pollTick();
    }
    EXPECT_TRUE(server.expectLine("MONITOR + alice,bob"));
    EXPECT_TRUE(server.expectNoLine(test::Millis(100)));
    EXPECT_EQ(server.received().find("ISON"), std::string::npos);

    ASSERT_TRUE(server.send(":irc.test 730 tester :bob!b@host\r\n"));
    EXPECT_TRUE(env.pollUntil([&] { return env.lastLine() == u"*** bob is on IRC"; }));
}

}  // namespace
}  // namespace kolu
