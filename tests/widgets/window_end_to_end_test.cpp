// The whole window driven the way a user drives it: connecting to a real ngIRCd
// from the File menu, joining through the Commands > Join prompt, talking with a
// second user, and inserting a favourite sentence at the input line's caret.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "commands/favorites.h"
#include "commands/menu_commands.h"
#include "options/connection_page.h"
#include "options/options_dialog.h"
#include "options/server_dialog.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "settings/settings_key.h"
#include "tests/support/modal.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/window_fixture.h"
#include "ui/widgets/color_edit.h"
#include "ui/widgets/input_line.h"
#include "ui/widgets/main_window.h"
#include "ui/widgets/prompt_dialogs.h"
#include "ui/widgets/tab_strip.h"
#include "ui/widgets/user_list_view.h"

namespace kolu {
namespace {

constexpr int kWaitMs = 10000;  // the poll timer ticks once a second

// Answers the next one-field prompt: once its modal loop runs, types `text`
// into the field and clicks OK. `answered` tells whether a prompt was found;
// shared, as a retry may still be queued when a failing test returns.
void answerNextPrompt(const QString& text, const std::shared_ptr<bool>& answered,
                      int turnsLeft = 100) {
    QTimer::singleShot(0, [text, answered, turnsLeft] {
        auto* prompt = qobject_cast<OneFieldPrompt*>(QApplication::activeModalWidget());
        if (!prompt) {
            if (turnsLeft > 0) {
                answerNextPrompt(text, answered, turnsLeft - 1);
            }
            return;
        }
        QTest::keyClicks(prompt->field(), text);
        prompt->okButton()->click();
        *answered = true;
    });
}

class WindowEndToEnd : public test::WindowFixture {
  protected:
    // One server in servers.txt, the user "kolu", then the window; File > Connect
    // is what the test does next.
    void startWithServer(const std::string& host, const std::string& ports) {
        writeFileAtomically(env.dir.file("servers.txt"), "Test\t" + host + "\t" + ports + "\t\r\n",
                            0600);
        env.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
        startWindow();
    }
    int tab(std::u16string_view name) { return session().tabs.znajdz_zakladke(name); }
    bool tabShows(int index, std::u16string_view wanted) {
        const TextLines* text = index >= 0 ? session().tabs.pobierz_hwndtxtbiez(index) : nullptr;
        for (std::size_t i = 0; text && i < text->lineCount(); ++i) {
            if (text->line(i).text.find(wanted) != std::u16string_view::npos) {
                return true;
            }
        }
        return false;
    }
    std::size_t members(std::u16string_view channel) {
        const UserList* list = session().tabs.pobierz_hwndlist(channel);
        return list ? list->size() : 0;
    }
};

TEST_F(WindowEndToEnd, ConnectsJoinsTalksAndShowsEachTabAgainstNgircd) {
    test::NgircdFixture server;
    startWithServer("127.0.0.1", std::to_string(server.port()));

    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == u"kolu", kWaitMs);
    EXPECT_EQ(window->action(MainWindow::kConnectId)->text().toStdString(), "Disconnect");
    EXPECT_TRUE(tabShows(0, u"Welcome to the Internet Relay Network")) << server.log();

    auto answered = std::make_shared<bool>(false);
    answerNextPrompt(QStringLiteral("#e2e"), answered);
    window->handleCommand(kMenuJoin);
    ASSERT_TRUE(*answered) << "the Join prompt did not open";
    QTRY_VERIFY_WITH_TIMEOUT(tab(u"#e2e") > 0, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#e2e"), std::size_t{1}, kWaitMs);
    const int channel = tab(u"#e2e");

    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server.host(), server.port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.join("#e2e"));
    ASSERT_TRUE(other.send("PRIVMSG #e2e :hello from outside"));
    ASSERT_TRUE(other.send("PRIVMSG kolu :just between us"));

    QTRY_VERIFY_WITH_TIMEOUT(tabShows(channel, u"<other> hello from outside"), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(tabShows(tab(u"other"), u"<other> just between us"), kWaitMs);

    // The channel: selected and shown, its list drawn with the operator first.
    EXPECT_EQ(session().tabs.selected(), channel);
    ASSERT_EQ(window->tabStrip().count(), session().tabs.count());
    EXPECT_EQ(window->tabStrip().labelRow()->currentIndex(), channel);
    EXPECT_EQ(window->tabStrip().tabText(channel).toStdString(), "#e2e");
    EXPECT_EQ(window->tabStrip().tabText(tab(u"other")).toStdString(), "other");
    ASSERT_NE(window->textView(channel), nullptr);
    EXPECT_TRUE(window->textView(channel)->isVisible());
    EXPECT_FALSE(window->textView(0)->isVisible());
    UserListView* list = window->userListView(channel);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isVisible());
    const int row = list->rowHeight();
    EXPECT_EQ(list->rowAt(QPoint(2, row / 2)), 0);
    EXPECT_EQ(list->rowAt(QPoint(2, row + row / 2)), 1);
    EXPECT_EQ(list->rowAt(QPoint(2, 2 * row + row / 2)), -1);
    list->setSelectedRow(0);
    EXPECT_EQ(list->selectedLabel(), u"@kolu");
    list->setSelectedRow(1);
    EXPECT_EQ(list->selectedLabel(), u"other");

    // The query: its own tab, with a text view and no user list, not selected.
    const int query = tab(u"other");
    ASSERT_GT(query, 0);
    EXPECT_NE(query, channel);
    EXPECT_NE(window->textView(query), nullptr);
    EXPECT_EQ(window->userListView(query), nullptr);
    EXPECT_FALSE(tabShows(channel, u"just between us"));
    EXPECT_FALSE(tabShows(query, u"hello from outside"));

    // A typed line goes to the selected channel, word for word.
    QLineEdit* edit = window->inputLine().lineEdit();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("general reply, 42%"));
    QTest::keyClick(edit, Qt::Key_Return);
    const std::optional<std::string> heard = other.waitFor(
        [](const std::string& line) { return test::RawIrcClient::commandOf(line) == "PRIVMSG"; });
    ASSERT_TRUE(heard) << other.transcript();
    EXPECT_EQ(test::RawIrcClient::nickOf(*heard), "kolu");
    EXPECT_EQ(heard->substr(heard->find(' ') + 1), "PRIVMSG #e2e :general reply, 42%");
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_TRUE(tabShows(channel, u"<kolu> general reply, 42%"));

    other.quit();
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
    QTRY_COMPARE_WITH_TIMEOUT(window->action(MainWindow::kConnectId)->text(),
                              QStringLiteral("Connect"), kWaitMs);
}

TEST_F(WindowEndToEnd, ConnectsOverTlsWithAVerifiedCertificateAndTalks) {
    test::NgircdOptions options;
    options.tls = true;
    test::NgircdFixture server(options);
    const test::ScopedEnv authority("SSL_CERT_FILE", server.caFile());
    startWithServer("localhost", "+" + std::to_string(server.tlsPort()));

    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == u"kolu", kWaitMs);
    EXPECT_FALSE(tabShows(0, u"Unable to connect"));  // at the first attempt
    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server.host(), server.port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.send("PRIVMSG kolu :over the encrypted line"));
    QTRY_VERIFY_WITH_TIMEOUT(tabShows(tab(u"other"), u"<other> over the encrypted line"), kWaitMs);

    QLineEdit* edit = window->inputLine().lineEdit();
    QTest::keyClicks(edit, QStringLiteral("/msg other and back again"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(other.waitFor("and back again")) << other.transcript();
}

TEST_F(WindowEndToEnd, ANewUserSetsNickAndServerInOptionsThenConnects) {
    test::NgircdFixture server;
    ColourArray own{};
    own.fill(0x112233);
    RegKey key;
    env.store.openKey(kSettingsKey, key);
    env.store.setValue(key, u"kolory", kRegBinary, colourTableBytes(own).data(), kColourTableBytes);
    env.store.closeKey(key);
    colours.set(own);  // the copy the window read at start-up
    startWindow();
    ASSERT_TRUE(window->action(MainWindow::kOptionsId)->isEnabled());

    const QString port = QString::number(server.port());
    auto filled = std::make_shared<bool>(false);
    test::whenModal<OptionsDialog>(
        [port](OptionsDialog* options) {
            controlById<QLineEdit>(options, 1110)->setText(QStringLiteral("newbie"));
            test::whenModal<ServerDialog>([port](ServerDialog* dialog) {
                dialog->networkField()->setText(QStringLiteral("Test"));
                dialog->serverField()->setText(QStringLiteral("127.0.0.1"));
                dialog->portsField()->setText(port);
                dialog->okButton()->click();
            });
            static_cast<ConnectionPage*>(options->page(OptionsDialog::kConnection))->addServer();
            controlById<QAbstractButton>(options, 1311)->click();  // "Default" colours
            options->accept();
        },
        filled);
    window->handleCommand(MainWindow::kOptionsId);
    ASSERT_TRUE(*filled) << "the options dialog did not open";
    EXPECT_FALSE(session().state.optionsOpen);
    ColourArray defaults{};
    OpKoloryDomyslne(defaults);
    EXPECT_EQ(colours.entries(), defaults) << "the window takes the saved colours";

    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == u"newbie", kWaitMs);
    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server.host(), server.port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.send("ISON newbie"));
    EXPECT_TRUE(other
                    .waitFor([](const std::string& line) {
                        return line.find(" 303 ") != std::string::npos &&
                               line.find("newbie") != std::string::npos;
                    })
                    .has_value())
        << other.transcript();
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
}

TEST_F(WindowEndToEnd, FavouriteSentenceGoesInAtTheCaretAndIsWhatEnterTakes) {
    writeFileAtomically(env.dir.file("favorites.txt"), "first sentence\r\n", 0600);
    startWindow();

    const int first = FavoritesMenu::kFirstId;
    QAction* item = window->action(first);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text().toStdString(), "first sentence");
    EXPECT_EQ(window->action(first + 1), nullptr);

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QLineEdit* edit = window->inputLine().lineEdit();
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClicks(edit, QStringLiteral("ab"));
    edit->setCursorPosition(1);

    window->handleCommand(first);
    EXPECT_EQ(edit->text().toStdString(), "afirst sentence b");
    EXPECT_EQ(edit->cursorPosition(), 16);

    // Enter runs what the command line model holds: the line lands in the history.
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(edit->text().isEmpty());
    ASSERT_EQ(window->inputLine().count(), 1);
    EXPECT_EQ(window->inputLine().itemText(0).toStdString(), "afirst sentence b");
    EXPECT_TRUE(tabShows(0, u"*** You're not on a channel"));
}

}  // namespace
}  // namespace kolu
