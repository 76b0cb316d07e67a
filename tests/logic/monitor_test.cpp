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
    // Names of 83 two-byte letters: three with their commas fill 510 bytes exactly, a
    // letter more does not fit though it would if characters were counted.
    const std::u16string wide(83, u'\u0142');
    EXPECT_EQ(monitorAddLines({wide, wide, wide}),
              Texts{u"MONITOR + " + wide + u"," + wide + u"," + wide});
    EXPECT_EQ(monitorAddLines({wide + u"x", wide, wide}),
              (Texts{u"MONITOR + " + wide + u"x," + wide, u"MONITOR + " + wide}));
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

TEST(MonitorAnswers, TheListGoesOnceWithinTheLimitAndIsonReturnsWithoutTheOffer) {
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
    env.dispatch(u":srv 734 me 2 x,y :Monitor list is full.");
    env.dispatch(u":srv 734 me");  // too short to name anyone: still no crash
    ASSERT_EQ(env.lines().size(), 3u);
    EXPECT_TRUE(env.lines()[1].ends_with(u"not watched: x y")) << toUtf8(env.lines()[1]);
    EXPECT_EQ(env.lastColour(), env.env.colours.of(LineClass::Info));

    // A new list replaces the old; with the notify switch off the server watches none.
    env.watch(u"d ");
    EXPECT_EQ(env.takeSent(), (Sent{"MONITOR C", "MONITOR + d"}));
    env.settings().RegZapiszLONG(u"en_notify", 0);
    env.watch(u"e ");
    EXPECT_EQ(env.takeSent(), Sent{"MONITOR C"});
    env.watch(u"f ");
    EXPECT_EQ(env.takeSent(), Sent{});

    // A new connection polls with ISON until its server offers MONITOR, which it does
    // not take with the extensions switched off.
    env.settings().RegZapiszLONG(u"en_notify", 1);
    env.notify().NotifyList_Reset();
    env.dispatch(u":srv 001 me :Welcome");
    env.settings().RegZapiszLONG(u"ircv3", 0);
    env.dispatch(u":srv 005 me MONITOR=100 :are supported by this server");
    env.notify().NotifyList_Ison();
    EXPECT_EQ(env.takeSent(), Sent{"ISON f "});
}

}  // namespace
}  // namespace kolu
