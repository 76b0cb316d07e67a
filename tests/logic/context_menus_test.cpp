// What the tap-and-hold menus' items send and show over a whole session (the widgets' tests
// open the menus and take op and ban/kick to a server), and the favorites menu and its file.
#include "commands/context_menus.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "commands/favorites.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Sent = std::vector<std::string>;
using Texts = std::vector<std::u16string>;

// Answers the next menu with the scripted id, later ones with 0.
class ScriptedWindow final : public ContextMenuWindow {
  public:
    int choice = 0;
    int track(const ContextMenu&) override { return std::exchange(choice, 0); }
    void setAutoScroll(bool) override {}
};

class ContextMenusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.state().currentNick = u"me";  // logged in
        env.settings().RegZapiszLONG(u"whspteach", 0);
        env.settings().RegZapiszMsg(u"partmsg", u"bye now", 500);
        env.tabs().select(env.tabs().dodaj_zakladke(u"#a"));
    }
    void onUser(std::u16string_view label, int id) {
        window.choice = id;
        EXPECT_EQ(menus.ContextProc(window, label), 1);
    }
    void onChannel(int id) {
        window.choice = id;
        EXPECT_EQ(menus.ChContextProc(window, u"#a"), 1);
    }
    void answer(std::u16string text) { env.env.host.textAnswers.push_back(std::move(text)); }

    test::HandlerEnv env;
    ContextMenus menus{{env.state(), env.env.session.connection, env.env.session.commands,
                        env.settings(), env.tabs(), env.env.session.output, env.env.colours,
                        env.env.host, env.settings().errorLog()}};
    ScriptedWindow window;
};

TEST_F(ContextMenusTest, UserItemsActOnTheNicknameWithoutItsRankPromptAndAwaitTheWhoisForBans) {
    onUser(u"@+x", 40307);  // every leading rank symbol goes (multi-prefix)
    onUser(u"~x", 40307);   // not a rank until the server says so
    env.tabs().setMemberRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    onUser(u"~%x", 40311);
    EXPECT_EQ(expandContextLine(u"MODE %c +o %n %x%", u"#a", u"%n"), u"MODE #a +o %n %x%");

    // Query opens a tab without selecting it.
    onUser(u"@newbie", 40304);
    EXPECT_GT(env.tabs().znajdz_zakladke(u"newbie"), 0);
    EXPECT_EQ(env.tabs().selected(), 1);
    // Parsed items are echoed like typed commands.
    answer(u"hi there");
    onUser(u"@bob", 40316);
    onUser(u"+bob", 40301);
    EXPECT_EQ(env.lines(u"#a").back(), u"-> [bob] PING");

    // Prompted items send the answer, and cancel sends nothing.
    answer(u"");
    onUser(u"@bob", 40312);
    answer(u"spam");
    onUser(u"@bob", 40312);
    answer(u"back soon");
    window.choice = 40501;
    menus.StatusContextProc(window);
    window.choice = 40502;
    menus.StatusContextProc(window);
    // No scripted answer: each prompt is cancelled.
    onUser(u"bob", 40315);
    onChannel(40421);
    window.choice = 40501;
    menus.StatusContextProc(window);
    EXPECT_EQ(env.state().wantedNick, u"");
    EXPECT_EQ(env.env.host.prompts.size(), 7u);  // the notice's among them

    // A ban asks for the WHOIS answer, and a kick line already waiting stays.
    onUser(u"eve", 40313);  // Ban alone kicks nobody
    env.dispatch(u":srv 311 me eve ~u e.x * :R");
    answer(u"spam");
    onUser(u"@bob", 40315);
    onUser(u"carol", 40314);
    env.dispatch(u":srv 311 me carol ~u c.x * :R");
    // The line went with the ban: the next request may set its own again.
    answer(u"");
    onUser(u"dave", 40315);
    EXPECT_EQ(env.state().autoban.kickLine, u"KICK #a dave");
    // The ping carries the clock's time, 2007-09-11 18:08 UTC.
    EXPECT_EQ(env.sockets.sentLines(),
              (Sent{"MODE #a +o x", "MODE #a +o ~x", "KICK #a x", "NOTICE bob :hi there",
                    "PRIVMSG bob :\x01PING 1189534080\x01", "KICK #a bob", "KICK #a bob :spam",
                    "AWAY :back soon", "AWAY", "WHOIS eve", "MODE #a +b *!*@e.x", "WHOIS bob",
                    "WHOIS carol", "MODE #a +b *!*@c.x", "KICK #a bob :spam", "WHOIS dave"}));
}

// The longest reason the prompt takes, in a script of two bytes a character.
TEST_F(ContextMenusTest, AKickReasonThatMakesTheLineTooLongIsRefusedBeforeAnyBan) {
    for (const int id : {40312, 40315}) {
        answer(std::u16string(249, u'\u0436'));
        onUser(u"bob", id);
        EXPECT_EQ(env.lines(u"#a").back(), u"*** Line too long (511 bytes, at most 510): not sent");
    }
    EXPECT_EQ(env.sockets.sentLines(), Sent{});
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
}

TEST_F(ContextMenusTest, IgnoreAndUnignoreSaySoChannelItemsSendTheirModesAndCloseParts) {
    onUser(u"@bob", 40305);
    onUser(u"carol", 40306);  // not listed: still reported
    onUser(u"+bob", 40306);
    EXPECT_EQ(env.lines(u"#a"),
              (Texts{u"*** Added bob to ignore list", u"*** Removed carol from ignore list",
                     u"*** Removed bob from ignore list"}));
    EXPECT_EQ(env.lastColour(1), env.env.colours.of(LineClass::Info2));
    // From a query tab, the line goes to that tab, whichever tab is current.
    env.tabs().dodaj_zakladke(u"zed");
    window.choice = 40305;
    menus.QueryContextProc(window, u"zed");
    EXPECT_EQ(env.lines(u"zed"), Texts{u"*** Added zed to ignore list"});
    EXPECT_EQ(env.settings().RegSpListJest(u"zed", u"", u"ignore"), 0);  // bob came and went

    // Channel modes, key, ban list and close (and ignoring sent nothing).
    onChannel(40418);
    answer(u"s3cret");
    onChannel(40421);
    // Remove ban asks for the list; the request waits for it with no nickname.
    env.state().wantedNick = u"left over";
    onChannel(40423);
    EXPECT_EQ(env.state().autoban.channel, u"#a");
    EXPECT_EQ(env.state().wantedNick, u"");

    // Close on the tab leaves the channel; the tab waits for the server.
    window.choice = 40499;
    menus.tabContextProc(window, 1);
    EXPECT_EQ(env.sockets.sentLines(),
              (Sent{"MODE #a +l 20", "MODE #a +k s3cret", "MODE #a +b", "PART #a :bye now"}));
    EXPECT_EQ(env.tabs().znajdz_zakladke(u"#a"), 1);
}

class FavoritesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
    }
    test::SettingsEnv env;
    Favorites favorites{env.settings, env.log};
    FavoritesMenu menu;
};

TEST_F(FavoritesTest, AMissingFileIsCreatedEmptyAtMost64LinesLoadAndAFullPopupRefusesMore) {
    EXPECT_EQ(favorites.FavWczytaj(menu), 0);
    EXPECT_EQ(env.read("favorites.txt"), "");
    std::string file;
    for (int i = 0; i < 70; ++i) {
        file += "line " + std::to_string(i) + "\r\n";
    }
    env.write("favorites.txt", file);
    int count = favorites.FavWczytaj(menu);
    EXPECT_EQ(count, 64);
    EXPECT_EQ(menu.items().back(), (FavoritesMenu::Item{u"line 63", 40263}));

    for (int i = count; i < FavoritesMenu::kMaxItems; ++i) {
        count = favorites.FavAdd(menu, u"x", count);
    }
    EXPECT_EQ(favorites.FavAdd(menu, u"one too many", count), 98);
    EXPECT_EQ(env.logCount("FavAdd\t\tAppendMenu"), 1u);
    EXPECT_EQ(favorites.FavDel(menu, 98, count), 98);
    EXPECT_EQ(favorites.FavDel(menu, -1, count), 98);
    EXPECT_EQ(env.logCount("FavDel\t\tDeleteMenu"), 2u);
    EXPECT_EQ(favoriteInsertText(menu, FavoritesMenu::kAddId), std::nullopt);
}

TEST_F(FavoritesTest, LoadingKeepsWholeLinesSavingCutsThemTo63AndTheRemovalListIsTheMenu) {
    // The unended last line is dropped; a cut never splits a surrogate pair.
    env.write("favorites.txt", "hi all\r\n" + std::string(80, 'x') + "\r\n/join #a\r\n" +
                                   std::string(63, 'a') + "\xF0\x9F\x98\x80\r\nbye");
    const int count = favorites.FavWczytaj(menu);
    favorites.FavZapisz(menu, count);
    EXPECT_EQ(env.read("favorites.txt"), "hi all\r\n" + std::string(63, 'x') + "\r\n/join #a\r\n" +
                                             std::string(63, 'a') + "\r\n");
    // Though the file now differs from the menu (as after a failed save), the list is the menu's.
    favorites.FavAdd(menu, u"unsaved", count);
    EXPECT_EQ(Favorites::Fav2Listbox(menu).sentences,
              (std::vector<std::u16string>{u"hi all", std::u16string(64, u'x'), u"/join #a",
                                           std::u16string(63, u'a'), u"unsaved"}));
}

TEST_F(FavoritesTest, IdsStayUniqueAndRoutedThroughAddsAndRemovals) {
    int count = 0;
    unsigned seed = 7;
    for (int step = 0; step < 2000; ++step) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 3 != 0 || count == 0) {
            count = favorites.FavAdd(menu, u"s" + fromUtf8(std::to_string(step)), count);
        } else {
            count = favorites.FavDel(menu, static_cast<int>((seed >> 8) % count), count);
        }
        ASSERT_EQ(count, menu.size());
        std::set<int> seen;
        for (int i = 0; i < menu.size(); ++i) {
            const int id = menu.items()[i].id;
            ASSERT_TRUE(seen.insert(id).second) << "duplicate id " << id;
            ASSERT_TRUE(id >= FavoritesMenu::kFirstId && id <= FavoritesMenu::kLastId) << id;
            ASSERT_EQ(favoriteInsertText(menu, id), menu.items()[i].text + u" ");
        }
    }
}

TEST_F(FavoritesTest, AFailedSaveLeavesTheOldFileWhole) {
    env.write("favorites.txt", "keep me\r\n");
    menu.append(std::u16string(60, u'a'), 40200);  // room for the log's entry, not the file
    menu.append(std::u16string(60, u'b'), 40201);
    {
        test::FileSizeLimit limit(100);
        ASSERT_TRUE(limit.set());
        favorites.FavZapisz(menu, menu.size());
    }
    EXPECT_EQ(env.read("favorites.txt"), "keep me\r\n");
    EXPECT_EQ(env.logCount("FavZapisz\t\tWriteFile : " + std::to_string(EFBIG)), 1u);
    favorites.FavZapisz(menu, 0);
    EXPECT_EQ(env.read("favorites.txt"), "");
}

}  // namespace
}  // namespace kolu
