// The whole window driven the way a user drives it against a real ngIRCd: File >
// Connect, the Join prompt, talking with a second user, word completion, the user
// list's menu, TLS, a first setup through Options, and a favourite sentence.
#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "commands/favorites.h"
#include "commands/menu_commands.h"
#include "gui/color_edit.h"
#include "gui/input_line.h"
#include "gui/prompt_dialogs.h"
#include "gui/user_list_view.h"
#include "options/connection_page.h"
#include "options/options_dialog.h"
#include "options/server_dialog.h"
#include "tests/support/menu_choice.h"
#include "tests/support/modal.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/temp_dir.h"
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
    test::NgircdFixture& startServer(test::NgircdOptions options = {}) {
        server = std::make_unique<test::NgircdFixture>(options);
        return *server;
    }
    void startConnected() {
        useServer(startServer().port());
        startWindow();
        connectAs(u"kolu");
    }
    bool logIn(Raw& other) {
        return other.connect(server->host(), server->port()) && other.login("other");
    }
    void connectAs(std::u16string_view nick) {
        window->handleCommand(MainWindow::kConnectId);
        QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == nick, kWaitMs);
    }
    void enter(const QString& line) {
        QTest::keyClicks(edit(), line);
        QTest::keyClick(edit(), Qt::Key_Return);
    }
    // A right click on row `row` of the list, answered with item `id`.
    bool chooseOnRow(UserListView* list, int row, int id) {
        auto seen = std::make_shared<test::MenuSeen>();
        test::chooseFromNextMenu(id, seen);
        const QPoint point(2, row * list->rowHeight() + list->rowHeight() / 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, point,
                                list->viewport()->mapToGlobal(point));
        QApplication::sendEvent(list->viewport(), &event);
        return seen->shown;
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
    const int query = tab(u"other");
    EXPECT_EQ(session().tabs.selected(), channel);
    EXPECT_TRUE(window->textView(channel)->isVisible());
    EXPECT_FALSE(window->textView(0)->isVisible());
    UserListView* list = window->userListView(channel);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    EXPECT_NE(window->textView(query), nullptr);
    EXPECT_EQ(window->userListView(query), nullptr);

    // A typed line goes to the selected channel, word for word.
    enter(QStringLiteral("general reply, 42%"));
    const auto heard = other.waitFor([](const std::string& l) { return isCommand(l, "PRIVMSG"); });
    ASSERT_TRUE(heard) << other.transcript();
    EXPECT_EQ(heard->substr(heard->find(' ') + 1), "PRIVMSG #e2e :general reply, 42%");

    // A word taken from the completion list is what is sent.
    startTyping();
    QTest::keyClicks(edit(), QStringLiteral("/jo"));
    QTest::keyClick(&window->inputLine(), Qt::Key_Space, Qt::ControlModifier);
    QTest::keyClicks(edit(), QStringLiteral("#words"));
    EXPECT_EQ(edit()->text().toStdString(), "/join #words");
    QTest::keyClick(edit(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(tab(u"#words") > 0, kWaitMs);
}

// Op reaches the tapped user as a MODE line; Ban, Kick bans by the host the
// WHOIS answer tells and then kicks.
TEST_F(WindowEndToEnd, UserListMenuOpsAndBanKicksTheTappedUser) {
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

    const auto isMode = [](const std::string& l) { return isCommand(l, "MODE"); };
    ASSERT_TRUE(chooseOnRow(list, 1, 40307));  // Op, Op
    EXPECT_EQ(list->selectedLabel(), u"other");
    std::optional<std::string> mode = other.waitFor(isMode);
    ASSERT_TRUE(mode) << other.transcript();
    EXPECT_EQ(Raw::nickOf(*mode), "kolu");
    EXPECT_EQ(Raw::paramsOf(*mode), (std::vector<std::string>{"#ctx", "+o", "other"}));
    QTRY_VERIFY_WITH_TIMEOUT(session().tabs.pobierz_hwndlist(u"#ctx")->at(1).label == u"@other",
                             kWaitMs);

    ASSERT_TRUE(chooseOnRow(list, 1, 40314));  // Ban, Ban, Kick
    EXPECT_EQ(list->selectedLabel(), u"@other");
    // The ban waits for the WHOIS answer, which the window reads at its next ticks.
    QTRY_VERIFY_WITH_TIMEOUT(session().state.autoban.channel.empty(), kWaitMs);
    mode = other.waitFor(isMode);
    ASSERT_TRUE(mode) << other.transcript();
    EXPECT_NE(mode->find(" MODE #ctx +b *!*@"), std::string::npos) << *mode;
    const auto kick = other.waitFor([](const std::string& l) { return isCommand(l, "KICK"); });
    ASSERT_TRUE(kick) << other.transcript();
    EXPECT_NE(kick->find(" KICK #ctx other"), std::string::npos) << *kick;
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{1}, kWaitMs);
    other.quit();
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
}

TEST_F(WindowEndToEnd, ConnectsOverTlsWithAVerifiedCertificateAndTalks) {
    test::NgircdOptions options;
    options.tls = true;
    test::NgircdFixture& irc = startServer(options);
    const test::ScopedEnv authority("SSL_CERT_FILE", irc.caFile());
    useServer("localhost", "+" + std::to_string(irc.tlsPort()));
    startWindow();
    connectAs(u"kolu");
    EXPECT_FALSE(tabShows(0, u"Unable to connect"));  // at the first attempt
    Raw other;
    ASSERT_TRUE(logIn(other));
    ASSERT_TRUE(other.send("PRIVMSG kolu :over the encrypted line"));
    QTRY_VERIFY_WITH_TIMEOUT(tabShows(tab(u"other"), u"<other> over the encrypted line"), kWaitMs);
    enter(QStringLiteral("/msg other and back again"));
    EXPECT_TRUE(other.waitFor("and back again")) << other.transcript();
}

TEST_F(WindowEndToEnd, ANewUserSetsNickAndServerInOptionsThenConnects) {
    const QString port = QString::number(startServer().port());
    startWindow();

    test::whenModal<OptionsDialog>([port](OptionsDialog* options) {
        controlById<QLineEdit>(options, 1110)->setText(QStringLiteral("newbie"));
        test::whenModal<ServerDialog>([port](ServerDialog* dialog) {
            dialog->networkField()->setText(QStringLiteral("Test"));
            dialog->serverField()->setText(QStringLiteral("127.0.0.1"));
            dialog->portsField()->setText(port);
            dialog->okButton()->click();
        });
        static_cast<ConnectionPage*>(options->page(OptionsDialog::kConnection))->addServer();
        options->accept();
    });
    window->handleCommand(MainWindow::kOptionsId);
    EXPECT_FALSE(session().state.optionsOpen);

    connectAs(u"newbie");
    Raw other;
    ASSERT_TRUE(logIn(other));
    ASSERT_TRUE(other.send("ISON newbie"));
    EXPECT_TRUE(other.waitFor(" 303 other :newbie")) << other.transcript();
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
}

TEST_F(WindowEndToEnd, FavouriteSentenceGoesInAtTheCaretAndIsWhatEnterTakes) {
    writeFileAtomically(env.dir.file("favorites.txt"), "first sentence\r\n", 0600);
    startWindow();
    const int first = FavoritesMenu::kFirstId;
    ASSERT_NE(window->action(first), nullptr);
    EXPECT_EQ(window->action(first)->text().toStdString(), "first sentence");

    startTyping();
    QTRY_VERIFY(edit()->hasFocus());
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
