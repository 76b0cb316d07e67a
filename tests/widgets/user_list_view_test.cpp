#include "ui/widgets/user_list_view.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "tests/support/qt_app.h"
#include "tests/support/settings_env.h"
#include "tests/widgets/widget_util.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using test::qcolour;
constexpr char16_t kBlock = u'\u2588';  // fills its cell, so its pixels are the text colour
constexpr Colour kBackground = rgb(250, 248, 236);
constexpr Colour kOperator = rgb(200, 0, 0);
constexpr Colour kVoice = rgb(0, 140, 0);
constexpr Colour kUser = rgb(0, 0, 190);

// The prefix, two blocks and a letter.
std::u16string name(std::u16string_view prefix, char16_t letter) {
    return std::u16string(prefix) + kBlock + kBlock + letter;
}

class UserListViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        ColourArray table{};
        OpKoloryDomyslne(table);
        table[kUserListBackground] = kBackground;
        table[kOperatorColour] = kOperator;
        table[kVoiceColour] = kVoice;
        table[kUserColour] = kUser;
        colours.set(table);
    }
    void makeView(int fontSize, int width = 120, int height = 200, QWidget* parent = nullptr) {
        view = std::make_unique<UserListView>(users, colours, parent);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(fontSize);
        view->setListFont(font, fontSize);
        view->resize(width, height);
        view->show();
    }
    QImage shot() const { return view->viewport()->grab().toImage(); }
    // The colour of the first block of the row at `slot`, whose prefix is `prefix`.
    QColor textAt(const QImage& image, int slot, std::u16string_view prefix) const {
        const QFontMetrics metrics(view->font());
        const int x = metrics.horizontalAdvance(QString::fromStdU16String(std::u16string(prefix)));
        const int h = view->rowHeight();
        return image.pixelColor(x + metrics.horizontalAdvance(QChar(kBlock)) / 2, slot * h + h / 2);
    }
    // The colour right of the text of the row at `slot`.
    QColor beside(const QImage& image, int slot) const {
        return image.pixelColor(view->viewport()->width() - 3, slot * view->rowHeight() + 1);
    }
    QColor highlight() const {
        return view->palette().color(QPalette::Active, QPalette::Highlight);
    }

    ColourTable colours;
    UserList users;
    std::unique_ptr<UserListView> view;
};

TEST_F(UserListViewTest, RowsAreOneFontSizeTallAndColouredByRank) {
    users.setRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    for (std::u16string_view prefix : {u"", u"+", u"%", u"@", u"~"}) {
        users.insert(name(prefix, 'n'));
    }
    makeView(16);
    ASSERT_EQ(view->rowHeight(), 16);
    const QImage image = shot();
    // Ranks above halfop take the operator colour, halfop the voice colour.
    const std::pair<std::u16string_view, Colour> rows[] = {
        {u"~", kOperator}, {u"@", kOperator}, {u"%", kVoice}, {u"+", kVoice}, {u"", kUser}};
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        ASSERT_EQ(users.at(row).label, name(rows[row].first, 'n'));
        EXPECT_EQ(textAt(image, row, rows[row].first), qcolour(rows[row].second));
        EXPECT_EQ(beside(image, row), qcolour(kBackground));
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16)), row);
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16 + 15)), row);
    }
    EXPECT_EQ(textAt(image, 5, u"@"), qcolour(kBackground));
    EXPECT_EQ(view->rowAt(QPoint(5, 5 * 16)), -1);
}

TEST_F(UserListViewTest, TheSelectedRowIsHighlightedAndFollowsItsMember) {
    users.insert(name(u"@", 'a'));
    users.insert(name(u"+", 'v'));
    users.insert(name(u"", 'c'));
    makeView(14);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    EXPECT_EQ(view->selectedLabel(), name(u"+", 'v'));
    QImage image = shot();
    EXPECT_EQ(beside(image, 1), highlight());
    EXPECT_EQ(textAt(image, 1, u"+"),
              view->palette().color(QPalette::Active, QPalette::HighlightedText));
    EXPECT_EQ(beside(image, 0), qcolour(kBackground));

    // An operator joins above it, then it is made operator: still the same member.
    users.insert(name(u"@", '0'));
    users.changeRank(name(u"", 'v'), u'o', true);
    view->refresh();
    EXPECT_EQ(view->selectedRow(), 2);
    EXPECT_EQ(view->selectedLabel(), name(u"@", 'v'));
    EXPECT_EQ(beside(shot(), 2), highlight());

    // The member leaves: nothing is selected; nor by a tap below the last row.
    users.remove(name(u"", 'v'));
    view->refresh();
    EXPECT_EQ(view->selectedLabel(), u"");
    image = shot();
    for (int row = 0; row < 3; ++row) {
        EXPECT_NE(beside(image, row), highlight()) << row;
    }
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(view->selectedRow(), -1);
}

TEST_F(UserListViewTest, TheBackgroundPictureShowsThePartUnderEachRow) {
    const QImage picture = test::coordinatePicture(200, 100);
    users.insert(name(u"", 'a'));
    users.insert(name(u"", 'b'));
    QWidget window;
    window.resize(200, 100);
    makeView(10, 60, 80, &window);
    view->move(130, 10);
    window.show();
    test::SettingsEnv env;
    env.install();
    env.putDword(kSettingsKey, u"bmp", 1);
    view->setSettings(&env.settings);
    view->setBackgroundPicture(&picture);
    view->refresh();
    const QImage image = shot();
    const QPoint origin = view->viewport()->mapTo(&window, QPoint(0, 0));
    for (const QPoint point : {QPoint(50, 0), QPoint(45, 13), QPoint(2, 60)}) {
        const QPoint under = origin + point;
        EXPECT_EQ(image.pixelColor(point), QColor(under.x(), under.y(), 77)) << point.y();
    }
    view.reset();
}

TEST_F(UserListViewTest, ArrowsSwitchTabsWhenReleasedAndMoveTheSelectionOtherwise) {
    for (char16_t c = 'a'; c <= 'z'; ++c) {
        users.insert(name(u"", c));
    }
    makeView(10, 80, 55);  // five rows in view
    QSignalSpy switches(view.get(), &UserListView::tabSwitchRequested);
    view->setFocus();
    QTest::keyPress(view.get(), Qt::Key_Left);
    EXPECT_EQ(switches.count(), 0);  // acted on at release
    QTest::keyRelease(view.get(), Qt::Key_Left);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(view.get(), &repeat);
    ASSERT_EQ(switches.count(), 1);
    EXPECT_EQ(switches[0][0].toInt(), TabRegistry::kLeftArrow);

    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->selectedRow(), 0);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->selectedRow(), 25);
    // The list scrolled by whole rows to show it at the bottom.
    const int visible = view->viewport()->height() / 10;
    EXPECT_EQ(view->topRow(), 26 - visible);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 26 - visible);
    EXPECT_EQ(beside(shot(), visible - 1), highlight());
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->selectedRow(), 24);
}

// A right click's menu is the window tests'; here the press held still.
TEST_F(UserListViewTest, AHeldPressSelectsTheRowAndAsksForTheMenuButATapDoesNot) {
    for (char16_t c = 'a'; c <= 'e'; ++c) {
        users.insert(name(u"", c));
    }
    makeView(12);
    QSignalSpy menu(view.get(), &UserListView::contextMenuRequested);
    const QPoint fourth(20, 3 * 12 + 4);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, fourth);
    EXPECT_EQ(view->selectedRow(), 3);
    ASSERT_TRUE(menu.wait(UserListView::kHoldMilliseconds * 4));
    EXPECT_EQ(menu[0][0].toPoint(), view->viewport()->mapToGlobal(fourth));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, fourth);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 16));
    EXPECT_FALSE(menu.wait(UserListView::kHoldMilliseconds * 2));
}

}  // namespace
}  // namespace kolu
