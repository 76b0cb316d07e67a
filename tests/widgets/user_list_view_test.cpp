#include "ui/widgets/user_list_view.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/qt_app.h"
#include "tests/support/settings_env.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

constexpr char16_t kBlock = u'\u2588';  // fills its cell, so its pixels are the text colour
constexpr Colour kBackground = rgb(250, 248, 236);
constexpr Colour kOperator = rgb(200, 0, 0);
constexpr Colour kVoice = rgb(0, 140, 0);
constexpr Colour kUser = rgb(0, 0, 190);

QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

// "@" + two blocks + a letter: the blocks show the row's text colour.
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
    // The middle of the first block of the row shown at `slot`.
    QPoint blockPoint(int slot, std::u16string_view prefix) const {
        const QFontMetrics metrics(view->font());
        const int x = metrics.horizontalAdvance(QString::fromStdU16String(std::u16string(prefix)));
        const int h = view->rowHeight();
        return QPoint(x + metrics.horizontalAdvance(QChar(kBlock)) / 2, slot * h + h / 2);
    }
    QColor textAt(const QImage& image, int slot, const std::u16string& label) const {
        return image.pixelColor(blockPoint(slot, label.substr(0, label.find(kBlock))));
    }
    // A point of the row at `slot` right of its text.
    QPoint beside(int slot) const {
        return QPoint(view->viewport()->width() - 3, slot * view->rowHeight() + 1);
    }

    ColourTable colours;
    UserList users;
    std::unique_ptr<UserListView> view;
};

class UserListRowsTest : public UserListViewTest, public ::testing::WithParamInterface<int> {};

TEST_P(UserListRowsTest, RowsAreOneFontSizeTallAndColouredByStatus) {
    for (const std::u16string& label :
         {name(u"", 'd'), name(u"@", 'b'), name(u"+", 'v'), name(u"@", 'a'), name(u"", 'c')}) {
        users.insert(label);
    }
    const int size = GetParam();
    makeView(size);
    ASSERT_EQ(view->rowHeight(), size);
    const QImage image = shot();
    const std::vector<std::pair<std::u16string, Colour>> expected = {
        {name(u"@", 'a'), kOperator}, {name(u"@", 'b'), kOperator}, {name(u"+", 'v'), kVoice},
        {name(u"", 'c'), kUser},      {name(u"", 'd'), kUser},
    };
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        ASSERT_EQ(users.at(row).label, expected[row].first);
        EXPECT_EQ(textAt(image, row, expected[row].first), qcolour(expected[row].second));
        EXPECT_EQ(image.pixelColor(beside(row)), qcolour(kBackground));
        EXPECT_EQ(view->rowAt(QPoint(5, row * size)), row);
        EXPECT_EQ(view->rowAt(QPoint(5, row * size + size - 1)), row);
    }
    // Below the last row: the background, and no row.
    EXPECT_EQ(image.pixelColor(blockPoint(5, u"@")), qcolour(kBackground));
    EXPECT_EQ(image.pixelColor(3, image.height() - 2), qcolour(kBackground));
    EXPECT_EQ(view->rowAt(QPoint(5, 5 * size)), -1);
}

INSTANTIATE_TEST_SUITE_P(FontSizes, UserListRowsTest, ::testing::Values(11, 16, 26));

TEST_F(UserListViewTest, RanksAboveHalfopTakeTheOperatorColourHalfopTheVoiceColour) {
    users.setRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    for (std::u16string_view prefix : {u"", u"+", u"%", u"@", u"&", u"~"}) {
        users.insert(name(prefix, 'n'));
    }
    makeView(16);
    const QImage image = shot();
    const std::vector<std::pair<std::u16string, Colour>> expected = {
        {name(u"~", 'n'), kOperator}, {name(u"&", 'n'), kOperator}, {name(u"@", 'n'), kOperator},
        {name(u"%", 'n'), kVoice},    {name(u"+", 'n'), kVoice},    {name(u"", 'n'), kUser},
    };
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        ASSERT_EQ(users.at(row).label, expected[row].first);
        EXPECT_EQ(textAt(image, row, expected[row].first), qcolour(expected[row].second));
    }
}

TEST_F(UserListViewTest, TheSelectedRowIsDrawnInTheHighlightColoursAndFollowsItsMember) {
    users.insert(name(u"@", 'a'));
    users.insert(name(u"+", 'v'));
    users.insert(name(u"", 'c'));
    makeView(14);
    const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
    const QColor highlightText = view->palette().color(QPalette::Active, QPalette::HighlightedText);
    ASSERT_NE(highlight, qcolour(kBackground));

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    EXPECT_EQ(view->selectedRow(), 1);
    EXPECT_EQ(view->selectedLabel(), name(u"+", 'v'));
    QImage image = shot();
    EXPECT_EQ(image.pixelColor(beside(1)), highlight);
    EXPECT_EQ(textAt(image, 1, name(u"+", 'v')), highlightText);
    EXPECT_EQ(image.pixelColor(beside(0)), qcolour(kBackground));
    EXPECT_EQ(textAt(image, 0, name(u"@", 'a')), qcolour(kOperator));

    // An operator joins above it: after the refresh the same member is selected.
    users.insert(name(u"@", '0'));
    view->refresh();
    EXPECT_EQ(view->selectedRow(), 2);
    image = shot();
    EXPECT_EQ(image.pixelColor(beside(2)), highlight);
    EXPECT_EQ(image.pixelColor(beside(1)), qcolour(kBackground));

    // Voiced again as operator: still the same member, now with the operator prefix.
    users.changeRank(name(u"", 'v'), u'o', true);
    view->refresh();
    EXPECT_EQ(view->selectedLabel(), name(u"@", 'v'));
    EXPECT_EQ(view->selectedRow(), 2);

    // The member leaves: nothing is selected.
    users.remove(name(u"", 'v'));
    view->refresh();
    EXPECT_EQ(view->selectedRow(), -1);
    EXPECT_EQ(view->selectedLabel(), u"");
    image = shot();
    for (int row = 0; row < 4; ++row) {
        EXPECT_NE(image.pixelColor(beside(row)), highlight) << row;
    }

    // A tap below the last row selects nothing.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(view->selectedRow(), -1);
}

TEST_F(UserListViewTest, TheBackgroundPictureShowsThePartUnderEachRow) {
    // A picture whose pixel colours tell their coordinates, over a 200 x 100 window.
    QImage picture(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            picture.setPixelColor(x, y, QColor(x, y, 77));
        }
    }
    users.insert(name(u"", 'a'));
    users.insert(name(u"", 'b'));
    QWidget window;
    window.resize(200, 100);
    makeView(10, 60, 80, &window);
    view->move(130, 10);
    window.show();
    test::SettingsEnv env;
    env.install();
    view->setSettings(&env.settings);
    view->setBackgroundPicture(&picture);

    env.putDword(kSettingsKey, u"bmp", 0);
    view->refresh();
    EXPECT_EQ(shot().pixelColor(50, 3), qcolour(kBackground));

    env.putDword(kSettingsKey, u"bmp", 1);
    view->refresh();
    const QImage image = shot();
    const QPoint origin = view->viewport()->mapTo(&window, QPoint(0, 0));
    for (const QPoint point : {QPoint(50, 0), QPoint(45, 13), QPoint(40, 35), QPoint(2, 60)}) {
        SCOPED_TRACE(point.y());
        const QPoint under = origin + point;
        EXPECT_EQ(image.pixelColor(point), QColor(under.x(), under.y(), 77));
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
    QTest::keyClick(view.get(), Qt::Key_Right);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(view.get(), &repeat);
    ASSERT_EQ(switches.count(), 2);
    EXPECT_EQ(switches[0][0].toInt(), TabRegistry::kLeftArrow);
    EXPECT_EQ(switches[1][0].toInt(), TabRegistry::kRightArrow);

    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->selectedRow(), 0);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->selectedRow(), 25);
    // The list scrolled by whole rows to show it at the bottom.
    const int visible = view->viewport()->height() / 10;
    EXPECT_EQ(view->topRow(), 26 - visible);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 26 - visible);
    EXPECT_EQ(view->rowAt(QPoint(5, (visible - 1) * 10 + 2)), 25);
    EXPECT_EQ(shot().pixelColor(beside(visible - 1)),
              view->palette().color(QPalette::Active, QPalette::Highlight));
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(view->selectedRow(), 24);
    EXPECT_EQ(switches.count(), 2);
}

TEST_F(UserListViewTest, ContextMenuRequestsSelectTheRowUnderThem) {
    for (char16_t c = 'a'; c <= 'e'; ++c) {
        users.insert(name(u"", c));
    }
    makeView(12);
    QSignalSpy menu(view.get(), &UserListView::contextMenuRequested);

    const QPoint second(20, 12 + 4);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, second,
                                 view->viewport()->mapToGlobal(second));
    QApplication::sendEvent(view->viewport(), &rightClick);
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu[0][0].toPoint(), view->viewport()->mapToGlobal(second));
    EXPECT_EQ(view->selectedRow(), 1);

    // A press held still is a tap-and-hold.
    const QPoint fourth(20, 3 * 12 + 4);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, fourth);
    EXPECT_EQ(view->selectedRow(), 3);
    ASSERT_TRUE(menu.wait(UserListView::kHoldMilliseconds * 4));
    EXPECT_EQ(menu[1][0].toPoint(), view->viewport()->mapToGlobal(fourth));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, fourth);

    // A quick tap is not.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second);
    EXPECT_FALSE(menu.wait(UserListView::kHoldMilliseconds * 2));
    EXPECT_EQ(menu.count(), 2);
}

}  // namespace
}  // namespace kolu
