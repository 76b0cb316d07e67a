// The user list's menu against a real ngIRCd: a right click on a second user's
// row, Op, reaches that user as a MODE line; Ban, Kick bans by the host the
// WHOIS answer tells and then kicks.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QTest>
#include <memory>

#include "platform/files.h"
#include "platform/sockets.h"
#include "tests/support/menu_choice.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/window_fixture.h"
#include "ui/widgets/main_window.h"
#include "ui/widgets/user_list_view.h"

namespace kolu {
namespace {

constexpr int kWaitMs = 10000;  // the poll timer ticks once a second

class ContextMenuEndToEnd : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        writeFileAtomically(env.dir.file("servers.txt"),
                            "Test\t127.0.0.1\t" + std::to_string(server.port()) + "\t\r\n", 0600);
        env.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
        startWindow();
    }
    std::size_t members(std::u16string_view channel) {
        const UserList* list = session().tabs.pobierz_hwndlist(channel);
        return list ? list->size() : 0;
    }
    int rowOf(std::u16string_view channel, std::u16string_view label) {
        const UserList* list = session().tabs.pobierz_hwndlist(channel);
        for (std::size_t i = 0; list && i < list->size(); ++i) {
            if (list->at(i).label == label) {
                return static_cast<int>(i);
            }
        }
        return -1;
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

    test::NgircdFixture server;
};

TEST_F(ContextMenuEndToEnd, OpAndBanKickFromTheUserListReachTheOtherUser) {
    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(session().state.currentNick == u"kolu", kWaitMs);
    session().commands.ParsujKomende(u"/JOIN #ctx", u"");
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{1}, kWaitMs);

    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server.host(), server.port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.join("#ctx"));
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{2}, kWaitMs);

    const int channel = session().tabs.znajdz_zakladke(u"#ctx");
    ASSERT_EQ(session().tabs.selected(), channel);
    UserListView* list = window->userListView(channel);
    ASSERT_NE(list, nullptr);
    list->refresh();
    ASSERT_EQ(list->rowAt(QPoint(2, list->rowHeight() + list->rowHeight() / 2)), 1);

    ASSERT_TRUE(chooseOnRow(list, 1, 40307));  // Op, Op
    EXPECT_EQ(list->selectedLabel(), u"other");
    const auto isMode = [](const std::string& line) {
        return test::RawIrcClient::commandOf(line) == "MODE";
    };
    std::optional<std::string> mode = other.waitFor(isMode);
    ASSERT_TRUE(mode) << other.transcript();
    EXPECT_EQ(test::RawIrcClient::nickOf(*mode), "kolu");
    EXPECT_EQ(test::RawIrcClient::paramsOf(*mode),
              (std::vector<std::string>{"#ctx", "+o", "other"}));
    // The list follows the server's MODE.
    QTRY_COMPARE_WITH_TIMEOUT(rowOf(u"#ctx", u"@other"), 1, kWaitMs);

    ASSERT_TRUE(chooseOnRow(list, 1, 40314));  // Ban, Ban, Kick
    EXPECT_EQ(list->selectedLabel(), u"@other");
    // The ban waits for the WHOIS answer, which the window reads at its next ticks.
    QTRY_VERIFY_WITH_TIMEOUT(session().state.autoban.channel.empty(), kWaitMs);
    mode = other.waitFor(isMode);
    ASSERT_TRUE(mode) << other.transcript();
    const std::vector<std::string> ban = test::RawIrcClient::paramsOf(*mode);
    ASSERT_EQ(ban.size(), 3u) << *mode;
    EXPECT_EQ(ban[1], "+b");
    EXPECT_EQ(ban[2].rfind("*!*@", 0), 0u) << *mode;
    const std::optional<std::string> kick = other.waitFor(
        [](const std::string& line) { return test::RawIrcClient::commandOf(line) == "KICK"; });
    ASSERT_TRUE(kick) << other.transcript();
    const std::vector<std::string> kicked = test::RawIrcClient::paramsOf(*kick);
    ASSERT_GE(kicked.size(), 2u) << *kick;
    EXPECT_EQ(kicked[0], "#ctx");
    EXPECT_EQ(kicked[1], "other");
    QTRY_COMPARE_WITH_TIMEOUT(members(u"#ctx"), std::size_t{1}, kWaitMs);

    other.quit();
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
}

}  // namespace
}  // namespace kolu
