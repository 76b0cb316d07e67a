// What servers with the member extensions say about the people in a channel:
// addresses, accounts, away state and others' invitations.
#include "protocol/member_extensions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/session_state.h"
#include "settings/settings.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Names = std::vector<std::u16string>;

// The client is "me" in #chan and #other, on a server that granted `caps`.
struct MemberWorld {
    explicit MemberWorld(std::initializer_list<std::u16string_view> caps) {
        for (const std::u16string_view name : caps) {
            h.state().caps.enable(name);
        }
        h.state().currentNick = u"me";
        h.dispatch(u":me!m@home JOIN #chan");
        h.dispatch(u":me!m@home JOIN #other");
        h.env.sound.played.clear();
        set(u"short_jp", 1);
        set(u"show_adr", 0);
    }
    void set(std::u16string_view name, std::uint32_t value) {
        h.env.settings.putDword(kSettingsKey, name, value);
    }
    // A names reply for `channel`, as if it followed the client's JOIN there.
    void names(std::u16string_view channel, std::u16string_view entries) {
        h.state().autoban.channel = channel;
        h.dispatch(u":srv 353 me = " + std::u16string(channel) + u" :" + std::u16string(entries));
        h.dispatch(u":srv 366 me " + std::u16string(channel) + u" :End of /NAMES list.");
    }
    const MemberDetails* details(std::u16string_view channel, std::u16string_view nick) {
        return h.tabs().pobierz_hwndlist(channel)->details(nick);
    }
    // Lines of every tab, to show a line printed nowhere.
    std::size_t allLines() {
        std::size_t total = 0;
        for (int i = 0; i < h.tabs().count(); ++i) {
            total += h.lines(i).size();
        }
        return total;
    }

    test::HandlerEnv h;
};

constexpr std::initializer_list<std::u16string_view> kAll = {
    u"multi-prefix",  u"userhost-in-names", u"away-notify",  u"account-notify",
    u"extended-join", u"chghost",           u"invite-notify"};

TEST(MemberExtensions, NamesWithAddressesKeepEveryRankAndTheAddress) {
    MemberWorld w(kAll);
    w.names(u"#chan", u"@+ann!a@h1 bob!b@h2 +carol me!m@home");
    EXPECT_EQ(w.h.env.users(u"#chan"), (Names{u"@ann", u"+carol", u"bob", u"me"}));
    ASSERT_NE(w.details(u"#chan", u"ann"), nullptr);
    EXPECT_EQ(w.details(u"#chan", u"ann")->userHost, u"a@h1");
    EXPECT_EQ(w.details(u"#chan", u"carol"), nullptr);  // listed without an address

    // Both ranks were kept: taking one leaves the other shown.
    w.h.dispatch(u":op!o@x MODE #chan -o ann");
    EXPECT_EQ(w.h.env.users(u"#chan"), (Names{u"+ann", u"+carol", u"bob", u"me"}));
}

TEST(MemberExtensions, APlainServersListsKnowNothingMoreAndItsJoinsReadAsAlways) {
    MemberWorld w({});
    w.h.dispatch(u":bob!b@h JOIN #chan");
    w.names(u"#other", u"@ann +carol");
    EXPECT_EQ(w.h.env.users(u"#other"), (Names{u"@ann", u"+carol"}));
    EXPECT_EQ(w.details(u"#chan", u"bob"), nullptr);
    EXPECT_EQ(w.h.env.lastLine(u"#chan"), u"*** Joins: bob");
}

TEST(MemberExtensions, ABurstOfAwayLinesPrintsNothingAndMarksTheMemberInEveryChannel) {
    MemberWorld w(kAll);
    auto nick = [](int i) { return u"u" + fromUtf8(std::to_string(i)); };
    std::u16string names = u"me";
    for (int i = 0; i < 400; ++i) {
        names += u" " + nick(i);
    }
    w.names(u"#chan", names);
    w.names(u"#other", u"u0 u1");
    const std::size_t before = w.allLines();
    for (int i = 0; i < 400; ++i) {
        w.h.dispatch(u":" + nick(i) + u"!u@split.net AWAY :Gone fishing");
    }
    w.h.dispatch(u":stranger!s@h AWAY :not in our channels");
    EXPECT_EQ(w.allLines(), before);
    for (const std::u16string_view channel : {u"#chan", u"#other"}) {
        ASSERT_NE(w.details(channel, u"u1"), nullptr);
        EXPECT_TRUE(w.details(channel, u"u1")->away);
        EXPECT_EQ(w.details(channel, u"u1")->awayReason, u"Gone fishing");
    }
    EXPECT_EQ(w.details(u"#chan", u"me"), nullptr);
    EXPECT_EQ(w.h.tabs().znajdz_zakladke(u"stranger"), -1);

    w.h.dispatch(u":u1!u@split.net AWAY");
    EXPECT_FALSE(w.details(u"#other", u"u1")->away);
    EXPECT_EQ(w.details(u"#other", u"u1")->awayReason, u"");
    // Coming back from an away nobody knew of makes no record.
    w.h.dispatch(u":me!m@home AWAY");
    EXPECT_EQ(w.details(u"#chan", u"me"), nullptr);
    EXPECT_EQ(w.allLines(), before);
}

TEST(MemberExtensions, ExtendedJoinShowsTodaysLineAndKeepsTheAccountAsAccountLinesChangeIt) {
    MemberWorld w(kAll);
    w.h.dispatch(u":bob!b@h JOIN #chan bobacct :Bob Real");
    EXPECT_EQ(w.h.env.lastLine(u"#chan"), u"*** Joins: bob");
    w.set(u"short_jp", 0);
    w.set(u"show_adr", 1);
    w.h.dispatch(u":carol!c@h2 JOIN #chan * :Carol Real");
    EXPECT_EQ(w.h.env.lastLine(u"#chan"), u"*** carol (c@h2) has joined #chan");
    EXPECT_EQ(w.details(u"#chan", u"bob")->account, u"bobacct");
    EXPECT_EQ(w.details(u"#chan", u"bob")->userHost, u"b@h");
    EXPECT_EQ(w.details(u"#chan", u"carol")->account, u"");

    const std::size_t before = w.allLines();
    w.h.dispatch(u":carol!c@h2 ACCOUNT carolacct");
    w.h.dispatch(u":bob!b@h ACCOUNT *");
    EXPECT_EQ(w.details(u"#chan", u"carol")->account, u"carolacct");
    EXPECT_EQ(w.details(u"#chan", u"bob")->account, u"");
    EXPECT_EQ(w.allLines(), before);

    // The client's own extended JOIN opens the tab by the channel alone.
    w.h.dispatch(u":me!m@home JOIN #new myacct :My Name");
    EXPECT_EQ(w.h.tabs().selected(), w.h.tabs().znajdz_zakladke(u"#new"));
    EXPECT_EQ(w.h.env.lastLine(u"#new"), u"*** Now talking in #new");
    EXPECT_EQ(w.h.tabs().znajdz_zakladke(u"#new myacct"), -1);
}

TEST(MemberExtensions, AnInvitationOfSomeoneElseShowsInItsChannelOursAsAlways) {
    MemberWorld w(kAll);
    w.h.setSound(u"invite", u"invite.wav");
    const std::size_t status = w.h.lines(0).size();
    w.h.dispatch(u":alice!a@h INVITE bob #chan");
    EXPECT_EQ(w.h.env.lastLine(u"#chan"), u"*** alice invited bob to #chan");
    EXPECT_EQ(w.h.lastColour(w.h.tabs().znajdz_zakladke(u"#chan")),
              w.h.env.colours.of(LineClass::Invite));
    EXPECT_EQ(w.h.lines(0).size(), status);
    EXPECT_TRUE(w.h.soundsPlayed().empty());
    // A channel without a tab: the status tab.
    w.h.dispatch(u":alice!a@h INVITE bob #elsewhere");
    EXPECT_EQ(w.h.env.lastLine(), u"*** alice invited bob to #elsewhere");

    w.h.dispatch(u":alice!a@h INVITE ME #chan");
    EXPECT_EQ(w.h.env.lastLine(), u"alice (a@h) invites you to join #chan");
    EXPECT_EQ(w.h.soundsPlayed(), std::vector<std::string>{"invite.wav"});
}

}  // namespace
}  // namespace kolu
