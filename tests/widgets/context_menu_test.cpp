// The context menus as popups: a table becomes a QMenu with its submenus, the
// chosen item's id comes back (none when dismissed), and the main window opens
// the right menu from a text view, a tab label and a user list.
#include "ui/widgets/context_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTabBar>
#include <QTest>
#include <memory>

#include "platform/sockets.h"
#include "tests/support/menu_choice.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/support/window_fixture.h"
#include "ui/user_list.h"
#include "ui/widgets/color_edit.h"
#include "ui/widgets/main_window.h"
#include "ui/widgets/tab_strip.h"
#include "ui/widgets/user_list_view.h"

namespace kolu {
namespace {

TEST(ContextMenuPopup, TrackAnswersTheChosenIdOrNothing) {
    test::application();
    QWidget owner;
    owner.show();
    const QPoint tap(40, 60);
    QtContextMenuWindow window(&owner, tap, nullptr);

    auto seen = std::make_shared<test::MenuSeen>();
    test::chooseFromNextMenu(40315, seen);  // inside the Ban submenu
    EXPECT_EQ(window.track(contextMenu(ContextMenuId::UserList)), 40315);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->position, tap + QPoint(0, 5));
    EXPECT_TRUE(seen->items.contains(QStringLiteral("  Ban, Kick (Reason)")));

    seen = std::make_shared<test::MenuSeen>();
    test::chooseFromNextMenu(0, seen);  // dismissed
    EXPECT_EQ(window.track(contextMenu(ContextMenuId::Status)), 0);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->position, tap);
}

class WindowContextMenuTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        startWindow();
    }

    // A right click at `point` of `target`, answered with item `id`.
    std::shared_ptr<test::MenuSeen> rightClick(QWidget* target, QPoint point, int id) {
        auto seen = std::make_shared<test::MenuSeen>();
        test::chooseFromNextMenu(id, seen);
        QContextMenuEvent event(QContextMenuEvent::Mouse, point, target->mapToGlobal(point));
        QApplication::sendEvent(target, &event);
        return seen;
    }
};

TEST_F(WindowContextMenuTest, TextViewAndLabelsOpenTheirTabsMenus) {
    Session& session = window->session();
    ColorEdit* status = window->textView(0);
    ASSERT_NE(status, nullptr);
    ASSERT_TRUE(status->autoScroll());
    auto seen = rightClick(status->viewport(), QPoint(10, 10), 40498);
    ASSERT_TRUE(seen->shown);
    EXPECT_TRUE(seen->items.contains(QStringLiteral("Away >")));
    EXPECT_FALSE(status->autoScroll());

    // A query's label, while the status tab is the current one.
    const int query = session.tabs.dodaj_zakladke(u"bob");
    ASSERT_EQ(session.tabs.selected(), 0);
    TabStrip& strip = window->tabStrip();
    seen = rightClick(strip.labelRow(), strip.tabRect(query).center(), 40499);
    ASSERT_TRUE(seen->shown);
    EXPECT_TRUE(seen->items.contains(QStringLiteral("Whois")));
    EXPECT_FALSE(seen->items.contains(QStringLiteral("Away >")));
    EXPECT_EQ(session.tabs.znajdz_zakladke(u"bob"), -1);
    EXPECT_EQ(strip.count(), 1);

    // Past the last label there is no tab and no menu.
    seen = rightClick(strip.labelRow(), QPoint(strip.width() - 2, 5), 0);
    QTest::qWait(50);
    seen->stop = true;
    EXPECT_FALSE(seen->shown);
}

// Acting on the tapped row through a real server is the end-to-end test's; here
// only the tap below the last row, which selects nobody and opens nothing.
TEST_F(WindowContextMenuTest, UserListBelowTheLastRowOpensNoMenu) {
    Session& session = window->session();
    const int channel = session.tabs.dodaj_zakladke(u"#a");
    dodaj_do_listy(session.tabs, u"#a", u"@bob");
    session.tabs.select(channel);
    session.tabs.ZmienZakladke();
    UserListView* list = window->userListView(channel);
    ASSERT_NE(list, nullptr);
    list->refresh();
    auto seen = rightClick(list->viewport(), QPoint(2, 5 * list->rowHeight()), 0);
    QTest::qWait(50);
    seen->stop = true;
    EXPECT_FALSE(seen->shown);
}

}  // namespace
}  // namespace kolu
