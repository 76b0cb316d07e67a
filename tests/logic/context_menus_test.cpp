// The tap-and-hold menus over a whole session: which menu a tab selects, the
// protocol lines and echoes the chosen items give, their prompts, the ban by
// host completed by the WHOIS answer, the ignore list and the Close tab rules.
#include "commands/context_menus.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "commands/menu_commands.h"
#include "settings/settings.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Sent = std::vector<std::string>;
using Texts = std::vector<std::u16string>;

// Answers each menu with the next scripted id (0 once they run out) and
// records what the menus asked of it.
class ScriptedWindow final : public ContextMenuWindow {
  public:
    std::vector<int> choices;
    std::vector<ContextMenuId> shown;
    std::vector<bool> scrolling;

    int track(const ContextMenu& menu) override {
        shown.push_back(menu.id);
        if (choices.empty()) {
            return 0;
        }
        const int id = choices.front();
        choices.erase(choices.begin());
        return id;
    }
    void setAutoScroll(bool on) override { scrolling.push_back(on); }
};

class ContextMenusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Logged in: the autoban nickname shares the login's wanted-nickname storage.
        env.state().currentNick = u"me";
        env.state().wantedNick.clear();
        env.settings().RegZapiszLONG(u"whspteach", 0);
        env.settings().RegZapiszMsg(u"partmsg", u"bye now", 500);
        env.tabs().select(env.tabs().dodaj_zakladke(u"#a"));
    }

    // The user list of the current tab, on the row `label`, choosing `id`.
    void onUser(std::u16string_view label, int id) {
        window.choices = {id};
        EXPECT_EQ(menus.ContextProc(window, label), 1);
    }
    void onChannel(int id) {
        window.choices = {id};
        EXPECT_EQ(menus.ChContextProc(window, u"#a"), 1);
    }
    void answer(std::u16string text) { env.env.host.textAnswers.push_back(std::move(text)); }
    void whoisAnswer(std::u16string_view nick, std::u16string_view host) {
        env.env.session.dispatcher.DispatchReply(test::HandlerEnv::line(
            u":srv 311 me " + std::u16string(nick) + u" ~u " + std::u16string(host) + u" * :Real"));
    }
    Sent sent() {
        Sent lines = env.sentLines();
        env.sockets.sent.clear();
        return lines;
    }

    test::HandlerEnv env;
    ContextMenus menus{{env.state(), env.env.session.connection, env.env.session.commands,
                        env.settings(), env.tabs(), env.env.session.output, env.env.colours,
                        env.env.host, env.settings().errorLog()}};
    ScriptedWindow window;
};

TEST_F(ContextMenusTest, UserListLinesActOnTheNicknameWithoutItsPrefix) {
    struct Case {
        std::u16string label;
        int id;
        std::string sent;
    };
    const std::vector<Case> cases = {
        {u"@bob", 40307, "MODE #a +o bob"}, {u"+eve", 40309, "MODE #a +v eve"},
        {u"@bob", 40308, "MODE #a -o bob"}, {u"eve", 40310, "MODE #a -v eve"},
        {u"+bob", 40311, "KICK #a bob"},    {u"@bob", 40303, "WHOIS bob"},
        {u"@+x", 40307, "MODE #a +o x"},  // every leading rank symbol goes (multi-prefix)
        {u"~x", 40307, "MODE #a +o ~x"},  // not a rank until the server says so
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        onUser(c.label, c.id);
        EXPECT_EQ(sent(), Sent{c.sent});
    }
    EXPECT_EQ(window.shown, std::vector<ContextMenuId>(cases.size(), ContextMenuId::UserList));
    EXPECT_TRUE(env.env.host.prompts.empty());

    env.tabs().setMemberRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    onUser(u"~%x", 40311);
    EXPECT_EQ(sent(), Sent{"KICK #a x"});
}

TEST_F(ContextMenusTest, PromptedItemsAskTheirOwnPromptAndCancelSendsNothing) {
    answer(u"");
    onUser(u"@bob", 40312);
    answer(u"spam");
    onUser(u"@bob", 40312);
    EXPECT_EQ(sent(), (Sent{"KICK #a bob", "KICK #a bob :spam"}));
    ASSERT_EQ(env.env.host.prompts.size(), 2u);
    EXPECT_EQ(env.env.host.prompts[0].commandId, 40312);
    EXPECT_EQ(env.env.host.prompts[0].title, u"Kick reason");
    EXPECT_EQ(env.env.host.prompts[0].prompt, u"Enter reason:");

    // No scripted answer: each prompt is cancelled.
    const std::size_t shownBefore = env.lines(u"#a").size();
    for (int id : {40312, 40315, 40316}) {
        onUser(u"bob", id);
    }
    for (int id : {40410, 40421}) {
        onChannel(id);
    }
    window.choices = {40501};
    menus.StatusContextProc(window);
    EXPECT_TRUE(sent().empty());
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
    EXPECT_EQ(env.state().wantedNick, u"");
    EXPECT_EQ(env.lines(u"#a").size(), shownBefore);
    EXPECT_EQ(env.env.host.prompts.size(), 8u);
}

TEST_F(ContextMenusTest, ParsedItemsAreEchoedLikeTypedCommands) {
    answer(u"hi there");
    onUser(u"@bob", 40316);
    EXPECT_EQ(sent(), Sent{"NOTICE bob :hi there"});
    EXPECT_EQ(env.env.host.prompts.back().title, u"Notice input");

    onUser(u"+bob", 40301);
    const Sent ping = sent();
    ASSERT_EQ(ping.size(), 1u);
    EXPECT_EQ(ping[0].rfind("PRIVMSG bob :\x01PING ", 0), 0u) << ping[0];
    ASSERT_FALSE(env.lines(u"#a").empty());
    EXPECT_EQ(env.lines(u"#a").back(), u"-> [bob] PING");

    answer(u"new topic");
    onChannel(40410);
    EXPECT_EQ(sent(), Sent{"TOPIC #a :new topic"});
}

TEST_F(ContextMenusTest, BanKickWaitsForTheWhoisAnswer) {
    onUser(u"@bob", 40314);
    EXPECT_EQ(sent(), Sent{"WHOIS bob"});
    EXPECT_EQ(env.state().autoban.channel, u"#a");
    EXPECT_EQ(env.state().wantedNick, u"bob");

    whoisAnswer(u"someone", u"other.example");  // not the awaited answer
    EXPECT_TRUE(sent().empty());
    whoisAnswer(u"bob", u"bob.example");
    EXPECT_EQ(sent(), (Sent{"MODE #a +b *!*@bob.example", "KICK #a bob"}));
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());

    // Ban alone kicks nobody.
    onUser(u"eve", 40313);
    whoisAnswer(u"eve", u"eve.example");
    EXPECT_EQ(sent(), (Sent{"WHOIS eve", "MODE #a +b *!*@eve.example"}));
}

TEST_F(ContextMenusTest, AWaitingKickLineIsNotReplaced) {
    answer(u"spam");
    onUser(u"@bob", 40315);
    EXPECT_EQ(env.env.host.prompts.back().title, u"Ban/kick reason");
    onUser(u"carol", 40314);
    EXPECT_EQ(sent(), (Sent{"WHOIS bob", "WHOIS carol"}));
    EXPECT_EQ(env.state().wantedNick, u"carol");
    whoisAnswer(u"carol", u"carol.example");
    EXPECT_EQ(sent(), (Sent{"MODE #a +b *!*@carol.example", "KICK #a bob :spam"}));
    // The next request may set its own line again.
    answer(u"");
    onUser(u"dave", 40315);
    EXPECT_EQ(env.state().autoban.kickLine, u"KICK #a dave");
}

TEST_F(ContextMenusTest, IgnoreAndUnignoreChangeTheListAndSaySo) {
    Settings& settings = env.settings();
    settings.RegZapiszLONG(u"en_ignore", 0);
    onUser(u"@bob", 40305);
    EXPECT_EQ(settings.RegCzytajLONG(u"en_ignore"), 1);
    EXPECT_GE(settings.RegSpListJest(u"bob", u"en_ignore", u"ignore"), 0);

    onUser(u"carol", 40306);  // not listed: still reported
    onUser(u"+bob", 40306);
    EXPECT_LT(settings.RegSpListJest(u"bob", u"", u"ignore"), 0);
    const Texts shown = env.lines(u"#a");
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(Texts(shown.end() - 3, shown.end()),
              (Texts{u"*** Added bob to ignore list", u"*** Removed carol from ignore list",
                     u"*** Removed bob from ignore list"}));
    EXPECT_EQ(env.lastColour(env.tabs().znajdz_zakladke(u"#a")),
              env.env.colours.of(LineClass::Info2));

    // From a query tab, the line goes to that tab, whichever tab is current.
    env.tabs().dodaj_zakladke(u"zed");
    window.choices = {40305};
    menus.QueryContextProc(window, u"zed");
    EXPECT_EQ(env.lines(u"zed"), Texts{u"*** Added zed to ignore list"});
    EXPECT_TRUE(sent().empty());
}

TEST_F(ContextMenusTest, ChannelModesKeyAndBanList) {
    onChannel(40418);
    onChannel(40422);
    onChannel(40409);
    answer(u"s3cret");
    onChannel(40421);
    EXPECT_EQ(sent(), (Sent{"MODE #a +l 20", "MODE #a -k", "TOPIC #a", "MODE #a +k s3cret"}));
    EXPECT_EQ(env.env.host.prompts.back().title, u"Channel key");

    // Remove ban asks for the list; the request waits for it with no nickname.
    env.state().wantedNick = u"left over";
    onChannel(40423);
    EXPECT_EQ(sent(), Sent{"MODE #a +b"});
    EXPECT_EQ(env.state().autoban.channel, u"#a");
    EXPECT_EQ(env.state().wantedNick, u"");
}

TEST_F(ContextMenusTest, CloseTabPartsAChannelButDropsAQuerySilently) {
    onChannel(40499);
    EXPECT_EQ(sent(), Sent{"PART #a :bye now"});
    EXPECT_GT(env.tabs().znajdz_zakladke(u"#a"), 0) << "the tab waits for the server";

    env.tabs().dodaj_zakladke(u"bob");
    window.choices = {40499};
    menus.QueryContextProc(window, u"bob");
    EXPECT_EQ(env.tabs().znajdz_zakladke(u"bob"), -1);
    EXPECT_TRUE(sent().empty());
}

TEST_F(ContextMenusTest, QueryStatusAndScrollItems) {
    env.tabs().dodaj_zakladke(u"bob");
    window.choices = {40301, 40497};
    menus.QueryContextProc(window, u"bob");
    menus.QueryContextProc(window, u"bob");
    ASSERT_EQ(sent().size(), 1u);

    answer(u"back soon");
    window.choices = {40501, 40502, 40498};
    for (int i = 0; i < 3; ++i) {
        menus.StatusContextProc(window);
    }
    EXPECT_EQ(sent(), (Sent{"AWAY :back soon", "AWAY"}));
    EXPECT_EQ(env.env.host.prompts.back().title, u"Away information");
    EXPECT_EQ(window.scrolling, (std::vector<bool>{true, false}));

    // The user list's Query opens a tab without selecting it.
    const int selected = env.tabs().selected();
    onUser(u"@newbie", 40304);
    EXPECT_GT(env.tabs().znajdz_zakladke(u"newbie"), 0);
    EXPECT_EQ(env.tabs().selected(), selected);
}

TEST_F(ContextMenusTest, TheTabSelectsTheMenu) {
    env.tabs().dodaj_zakladke(u"&local");
    env.tabs().dodaj_zakladke(u"bob");
    struct Case {
        std::u16string tab;
        ContextMenuId menu;
    };
    for (const Case& c :
         {Case{u"", ContextMenuId::Status}, Case{u"#a", ContextMenuId::Channel},
          Case{u"&local", ContextMenuId::Channel}, Case{u"bob", ContextMenuId::Query}}) {
        const int index = env.tabs().znajdz_zakladke(c.tab);
        EXPECT_EQ(ContextMenus::menuForTab(env.tabs(), index), c.menu);
        window.shown.clear();
        window.choices = {40303};  // Whois where there is one
        menus.tabContextProc(window, index);
        EXPECT_EQ(window.shown, std::vector<ContextMenuId>{c.menu});
    }
    // Only the query menu's Whois acted, on its tab's name.
    EXPECT_EQ(sent(), Sent{"WHOIS bob"});

    // No tab, or no row under the tap: no menu.
    window.shown.clear();
    menus.tabContextProc(window, -1);
    menus.tabContextProc(window, env.tabs().count());
    menus.ContextProc(window, u"");
    menus.ContextProc(window, u"@");
    EXPECT_TRUE(window.shown.empty());
}

TEST_F(ContextMenusTest, WithoutAConnectionOnlyParsedItemsSaySo) {
    env.state().socket = kInvalidSocket;
    env.state().connected = false;
    const std::size_t before = env.lines(u"#a").size();
    onUser(u"@bob", 40307);
    onUser(u"@bob", 40301);
    const Texts shown = env.lines(u"#a");
    ASSERT_EQ(shown.size(), before + 1);
    EXPECT_EQ(shown.back(), u"* /PING: not connected to server");
}

TEST(ContextMenuTables, IdsAreUniqueAndEveryPromptHasItsTexts) {
    for (ContextMenuId id : {ContextMenuId::UserList, ContextMenuId::Channel, ContextMenuId::Query,
                             ContextMenuId::Status}) {
        const ContextMenu& menu = contextMenu(id);
        SCOPED_TRACE(static_cast<int>(id));
        EXPECT_EQ(menu.id, id);
        std::set<int> ids;
        std::set<std::u16string_view> closedSubmenus;
        std::u16string_view open;
        for (const ContextItem& item : menu.items) {
            EXPECT_TRUE(ids.insert(item.id).second) << item.id;
            // A submenu's items sit together, or the popup would be split in two.
            if (item.submenu != open) {
                closedSubmenus.insert(open);
                if (!item.submenu.empty()) {
                    EXPECT_EQ(closedSubmenus.count(item.submenu), 0u) << item.id;
                }
                open = item.submenu;
            }
            const bool prompts = item.action == ContextAction::SendReason ||
                                 item.action == ContextAction::SendAnswer ||
                                 item.action == ContextAction::PromptCommand ||
                                 item.action == ContextAction::BanKickReason;
            if (prompts) {
                const PromptText* prompt = findPrompt(item.id);
                ASSERT_NE(prompt, nullptr) << item.id;
                EXPECT_FALSE(prompt->title.empty());
            }
        }
    }
    EXPECT_EQ(contextMenu(ContextMenuId::UserList).dropPixels, 5);
    EXPECT_EQ(expandContextLine(u"MODE %c +o %n %x%", u"#a", u"%n"), u"MODE #a +o %n %x%");
}

}  // namespace
}  // namespace kolu
