// The whole window driven the way a user drives it against a real ngIRCd: File >
// Connect, the Join prompt, talking with a second user, word completion, the user
// list's menu, and a favourite sentence.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "commands/favorites.h"
#include "commands/menu_commands.h"
#include "gui/color_edit.h"
#include "gui/input_line.h"
#include "gui/prompt_dialogs.h"
#include "gui/user_list_view.h"
#include "tests/support/modal.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

constexpr int kWaitMs = 10000;  // the poll timer ticks once a second
using Raw = test::RawIrcClient;

bool isCommand(const std::string& line, const char* command) {
    return Raw::commandOf(line) == command;
}

class WindowEndToEnd : public test::ServerWindowFixture {
  protected:
    void startConnected() {
        server = std::make_unique<test::NgircdFixture>();
        useServer(server->port());
        startWindow();
        window->handleCommand(MainWindow::kConnectId);
        QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == u"kolu", kWaitMs);
    }
    bool logIn(Raw& other) {
        return other.connect(server->host(), server->port()) && other.login("other");
    }
    // Destroyed after the window (the fixture's TearDown), which may still hold a socket.
    std::unique_ptr<test::NgircdFixture> server;
};

TEST_F(WindowEndToEnd, ConnectsJoinsTalksAndShowsEachTab) {
    startConnected();
    test::whenModal<OneFieldPrompt>([](OneFieldPrompt* prompt) {
        QTest::keyClicks(prompt->field(), QStringLiteral("#e2e"));
        prompt->okButton()->click();
    });
    window->handleCommand(kMenuJoin);
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#e2e"), std::size_t{1}, kWaitMs);
    const int channel = tab(u"#e2e");

    Raw other;
    ASSERT_TRUE(logIn(other));
    ASSERT_TRUE(other.join("#e2e"));
    ASSERT_TRUE(other.send("PRIVMSG #e2e :hello from outside"));
    ASSERT_TRUE(other.send("PRIVMSG kolu :just between us"));
    QTRY_VERIFY_WITH_TIMEOUT(tabShows(channel, u"<other> hello from outside"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(tabShows(tab(u"other"), u"<other> just between us"), kWaitMs);

    // The channel stays selected and shown with its list; the query has its own
    // tab, a text view and no list.
    EXPECT_TRUE(window->textView(channel)->isVisible());
    EXPECT_FALSE(window->textView(0)->isVisible());
    EXPECT_TRUE(window->userListView(channel)->isVisible());
    EXPECT_NE(window->textView(tab(u"other")), nullptr);
    EXPECT_EQ(window->userListView(tab(u"other")), nullptr);

    // A word taken from the completion list is what Enter sends.
    startTyping();
    QTest::keyClicks(edit(), QStringLiteral("/jo"));
    QTest::keyClick(&window->inputLine(), Qt::Key_Space, Qt::ControlModifier);
    QTest::keyClicks(edit(), QStringLiteral("#words"));
    EXPECT_EQ(edit()->text().toStdString(), "/join #words");
    QTest::keyClick(edit(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(tab(u"#words") > 0, kWaitMs);
}

// Op reaches the tapped user as a MODE line. What Ban, Kick sends after the
// WHOIS answer is the context menus' and query replies' logic tests'.
TEST_F(WindowEndToEnd, UserListMenuOpsTheTappedUser) {
    startConnected();
    session().commands.ParsujKomende(u"/JOIN #ctx", u"");
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{1}, kWaitMs);
    Raw other;
    ASSERT_TRUE(logIn(other));
    ASSERT_TRUE(other.join("#ctx"));
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{2}, kWaitMs);
    UserListView* list = window->userListView(tab(u"#ctx"));
    ASSERT_NE(list, nullptr);
    list->refresh();

    const QPoint second(2, list->rowHeight() * 3 / 2);
    ASSERT_TRUE(test::rightClick(list->viewport(), second, 40307)->shown);  // Op, Op
    EXPECT_EQ(list->selectedLabel(), u"other");
    const auto mode = other.waitFor([](const std::string& l) { return isCommand(l, "MODE"); });
    ASSERT_TRUE(mode) << other.transcript();
    EXPECT_EQ(Raw::paramsOf(*mode), (std::vector<std::string>{"#ctx", "+o", "other"}));
}

TEST_F(WindowEndToEnd, FavouriteSentenceGoesInAtTheCaretAndIsWhatEnterTakes) {
    writeFileAtomically(env.dir.file("favorites.txt"), "first sentence\r\n", 0600);
    startWindow();
    const int first = FavoritesMenu::kFirstId;
    ASSERT_NE(window->action(first), nullptr);
    EXPECT_EQ(window->action(first)->text().toStdString(), "first sentence");

    startTyping();
    QTest::keyClicks(edit(), QStringLiteral("ab"));
    edit()->setCursorPosition(1);
    window->handleCommand(first);
    EXPECT_EQ(edit()->text().toStdString(), "afirst sentence b");
    EXPECT_EQ(edit()->cursorPosition(), 16);

    // Enter takes what the command line model holds: the line lands in the history.
    QTest::keyClick(edit(), Qt::Key_Return);
    ASSERT_EQ(window->inputLine().count(), 1);
    EXPECT_EQ(window->inputLine().itemText(0).toStdString(), "afirst sentence b");
}

}  // namespace
}  // namespace kolu
