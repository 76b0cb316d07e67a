// Tab in the main window's real input line completes a channel member's
// nickname and cycles, without the focus leaving the line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "tests/support/window_fixture.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"
#include "ui/widgets/input_line.h"

namespace kolu {
namespace {

using NickCompletionWidgetTest = test::WindowFixture;

TEST_F(NickCompletionWidgetTest, TabCompletesAndCyclesInPlaceUntilAnotherKey) {
    env.settings.RegZapiszLONG(u"whsp_enable", 0);  // no word list to take the Tab
    startWindow();
    TabRegistry& tabs = session().tabs;
    ASSERT_TRUE(tabs.select(tabs.dodaj_zakladke(u"#kolu")));
    dodaj_do_listy(tabs, u"#kolu", u"@alice");
    dodaj_do_listy(tabs, u"#kolu", u"alan");
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->inputLine().Focus2Input();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    const QLineEdit& edit = *window->inputLine().editControl();
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(focused, key, modifiers);
        return edit.text().toStdString();
    };

    QTest::keyClicks(focused, QStringLiteral("al"));
    EXPECT_EQ(press(Qt::Key_Tab), "alice: ");
    EXPECT_EQ(edit.cursorPosition(), 7);
    EXPECT_EQ(press(Qt::Key_Tab), "alan: ");
    EXPECT_EQ(press(Qt::Key_Tab, Qt::ShiftModifier), "alice: ");
    press(Qt::Key_End);  // ends the cycle: no word before the caret now
    EXPECT_EQ(press(Qt::Key_Tab), "alice: ");
    EXPECT_EQ(QApplication::focusWidget(), focused);
}

}  // namespace
}  // namespace kolu
