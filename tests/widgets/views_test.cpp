// The views a tab shows: the text view, the user list and the tab strip.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFontMetrics>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <string>

#include "gui/color_edit.h"
#include "gui/qt_text_metrics.h"
#include "gui/tab_strip.h"
#include "gui/user_list_view.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/support/settings_env.h"
#include "tests/widgets/widget_util.h"
#include "ui/event_sounds.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using test::qcolour;

constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

QFont monoFont(int size = 12) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(size);
    return font;
}

// '#' stands for a block, which fills its whole cell in the line's colour.
std::u16string blocks(std::u16string_view pattern) {
    std::u16string text(pattern);
    std::replace(text.begin(), text.end(), u'#', u'\u2588');
    return text;
}

class ColorEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        cell = metrics.width(u"M");
        row = metrics.lineHeight();
    }
    void makeView(int width, int height) {
        view = std::make_unique<ColorEdit>(lines, metrics, colours, &shared);
        view->show();
        view->resize(width + view->width() - view->viewport()->width(),
                     height + view->height() - view->viewport()->height());
        ASSERT_EQ(view->viewport()->size(), QSize(width, height));
    }
    QImage shot() const { return view->viewport()->grab().toImage(); }
    // The middle of character cell `column` in the row whose top is `top`.
    QColor cellColour(const QImage& image, int column, int top) const {
        return image.pixelColor(column * cell + cell / 2, top + row / 2);
    }

    QApplication& app = test::application();  // before the font metrics
    ColourTable colours = test::defaultColours();
    QtTextMetrics metrics{monoFont()};
    TextLines lines{&metrics};
    TextViewShared shared;
    std::unique_ptr<ColorEdit> view;
    int cell = 0;
    int row = 0;
};

TEST_F(ColorEditTest, NewestLineSitsAtTheBottomEdgeInItsColoursAndLongOnesWrap) {
    makeView(10 * cell + cell / 2, 150);  // ten characters fit a row
    EXPECT_EQ(view->addLine(blocks(u"###"), kRed), row);
    view->addLine(
        u"\x03"
        u"04,02" +
            blocks(u"# ") + u"\x0f" + blocks(u"#"),
        kGreen);
    view->addLine(blocks(u"##### ############"), kBlue);
    const QImage image = shot();
    EXPECT_EQ(cellColour(image, 1, 150 - 4 * row), QColor(0, 0, 0x7F));  // the run's background
    EXPECT_EQ(cellColour(image, 2, 150 - 4 * row), qcolour(kGreen));     // after the reset
    EXPECT_EQ(cellColour(image, 9, 150 - 2 * row), qcolour(kBlue));
    EXPECT_EQ(image.pixelColor(1, 149), qcolour(kBlue));  // down to the last pixel row
    const QColor background = qcolour(colours[kTextViewBackground]);
    const int above = 150 - 5 * row - 1;  // less a pixel row a block may reach past its own
    EXPECT_EQ(test::countColour(image, background, QRect(0, 0, image.width(), above)),
              image.width() * above);
}

TEST_F(ColorEditTest, ABurstIsFollowedOnceTheLoopTurnsOffKeepsTheViewStillAndStepsAreLines) {
    makeView(200, 10 * row);
    for (int i = 0; i < 1000; ++i) {
        view->addLine(blocks(u"## line"), rgb(i % 250, 255 - i % 250, 0));
    }
    // No line moved the scroll bar; the view already answers where they take it.
    QScrollBar* bar = view->verticalScrollBar();
    const int largest = 1000 * row - 10 * row + 1;
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_EQ(view->scrollPosition(), largest);
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), largest);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(bar->pageStep(), 10 * row);

    view->setAutoScroll(false);
    const QImage before = shot();
    view->addLine(blocks(u"## new"), kBlue);
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), largest + row);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(shot(), before);
    // The flag is shared: another view turns it back on for both.
    TextLines otherLines{&metrics};
    ColorEdit other(otherLines, metrics, colours, &shared);
    other.setAutoScroll(true);
    view->addLine(blocks(u"## last"), kRed);
    QApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    // At position 0 the oldest line starts one pixel below the top edge.
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(rgb(0, 255, 0)));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(rgb(1, 254, 0)));
    QWheelEvent wheel(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(view->scrollPosition(), (1 + QApplication::wheelScrollLines()) * row);
}

TEST_F(ColorEditTest, DraggingOverLinesCopiesOnReleaseAndAHoldAsksForTheMenuInstead) {
    makeView(300, 8 * row);
    for (const char16_t* text : {u"zero line", u"first line", u"second line", u"third line"}) {
        view->addLine(text, colours.of(LineClass::Normal));
    }
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    const auto top = [&](int line) { return 8 * row - (4 - line) * row; };
    const auto at = [&](int line, int column) {
        return QPoint(column * cell + cell / 2, top(line) + row / 2);
    };
    const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
    const auto lit = [&](const QImage& image, int line) {
        return test::countColour(image, highlight, QRect(0, top(line), image.width(), row));
    };
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(1, 6));
    QTest::mouseMove(view->viewport(), at(2, 5));
    QTest::mouseMove(view->viewport(), at(3, 3));
    const QImage during = shot();
    EXPECT_GT(lit(during, 2), 0);
    EXPECT_EQ(lit(during, 0), 0);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(3, 3));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("linesecond linethi"));
    EXPECT_EQ(test::countColour(shot(), highlight), 0);

    // Back to the start point: nothing is copied.
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(2, 1));
    QTest::mouseMove(view->viewport(), at(2, 8));
    QTest::mouseMove(view->viewport(), at(2, 1));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(2, 1));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));

    // Held still: the menu is asked for, and moving on afterwards selects nothing.
    QSignalSpy menu(view.get(), &ColorEdit::contextMenuRequested);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(3, 1));
    ASSERT_TRUE(menu.wait(5000));
    EXPECT_EQ(menu.at(0).at(0).toPoint(), view->viewport()->mapToGlobal(at(3, 1)));
    QTest::mouseMove(view->viewport(), at(3, 9));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(3, 9));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
}

constexpr char16_t kBlock = u'\u2588';  // fills its cell, so its pixels are the text colour
constexpr Colour kBackground = rgb(250, 248, 236);
constexpr Colour kOperator = rgb(200, 0, 0);
constexpr Colour kVoice = rgb(0, 140, 0);
constexpr Colour kUser = rgb(0, 0, 190);

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
        view->setListFont(monoFont(fontSize), fontSize);
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
    const QImage image = shot();
    // Ranks above halfop take the operator colour, halfop the voice colour.
    const std::pair<std::u16string_view, Colour> rows[] = {
        {u"~", kOperator}, {u"@", kOperator}, {u"%", kVoice}, {u"+", kVoice}, {u"", kUser}};
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(textAt(image, row, rows[row].first), qcolour(rows[row].second));
        EXPECT_EQ(beside(image, row), qcolour(kBackground));
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16)), row);
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16 + 15)), row);
    }
    EXPECT_EQ(textAt(image, 5, u"@"), qcolour(kBackground));
    EXPECT_EQ(view->rowAt(QPoint(5, 5 * 16)), -1);
}

// A right click's menu is the window tests'; here a press held still.
TEST_F(UserListViewTest, TheSelectedRowIsHighlightedFollowsItsMemberAndAHoldAsksForTheMenu) {
    users.insert(name(u"@", 'a'));
    users.insert(name(u"+", 'v'));
    users.insert(name(u"", 'c'));
    makeView(14);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    EXPECT_EQ(view->selectedLabel(), name(u"+", 'v'));
    QImage image = shot();
    EXPECT_EQ(beside(image, 1), highlight());

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
    EXPECT_EQ(test::countColour(shot(), highlight()), 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 150));
    EXPECT_EQ(view->selectedRow(), -1);

    QSignalSpy menu(view.get(), &UserListView::contextMenuRequested);
    const QPoint second(20, 1 * 14 + 4);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, second);
    EXPECT_EQ(view->selectedRow(), 1);
    ASSERT_TRUE(menu.wait(UserListView::kHoldMilliseconds * 4));
    EXPECT_EQ(menu[0][0].toPoint(), view->viewport()->mapToGlobal(second));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(20, 4));
    EXPECT_FALSE(menu.wait(UserListView::kHoldMilliseconds * 2));
}

// Each row and the space below the last show the picture under them.
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
    EXPECT_EQ(beside(shot(), visible - 1), highlight());
}

// Pixels inside `rect` of `image` within `tolerance` of `colour` in every channel.
int countNear(const QImage& image, const QRect& rect, QColor colour, int tolerance = 40) {
    int found = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            found += std::abs(p.red() - colour.red()) <= tolerance &&
                     std::abs(p.green() - colour.green()) <= tolerance &&
                     std::abs(p.blue() - colour.blue()) <= tolerance;
        }
    }
    return found;
}

class TabStripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        tabs.dodaj_status();
        tabs.dodaj_zakladke(u"#kolu");
        tabs.dodaj_zakladke(u"alice");
    }
    void makeStrip(int scale = 1) {
        strip = std::make_unique<TabStrip>(tabs);
        strip->setScale(scale, false);
        strip->resize(320 * scale, 200 * scale);
        strip->show();
    }
    QImage shot() const { return strip->grab().toImage(); }
    QStringList titles() const {
        QStringList texts;
        for (int i = 0; i < strip->count(); ++i) {
            texts << strip->tabText(i);
        }
        return texts;
    }
    void clickTab(int index) {
        QTest::mouseClick(strip->labelRow(), Qt::LeftButton, {}, strip->tabRect(index).center());
    }

    test::SettingsEnv env;
    test::RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
    test::FixedMetrics metrics;
    TabRegistry tabs{sounds, metrics};
    std::unique_ptr<TabStrip> strip;  // destroyed before the registry it observes
};

TEST_F(TabStripTest, TabsFollowTheRegistryAndATapSelectsOneAndHandsTheFocusBack) {
    makeStrip();
    QSignalSpy added(strip.get(), &TabStrip::tabAdded);
    QSignalSpy shown(strip.get(), &TabStrip::tabShown);
    QSignalSpy focus(strip.get(), &TabStrip::focusInputRequested);
    tabs.dodaj_zakladke(u"#KOLU");  // the same channel: nothing new
    tabs.dodaj_zakladke(u"&local");
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "alice", "&local"}));
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(added[0][0].toInt(), 3);
    // The owner hears of a removal while the tab's record still exists.
    bool hadRecord = false;
    QObject::connect(strip.get(), &TabStrip::tabAboutToBeRemoved,
                     [&](int index) { hadRecord = tabs.pobierz_lparam(index) != nullptr; });
    tabs.usun_zakladkeT(u"ALICE");
    EXPECT_TRUE(hadRecord);
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "&local"}));

    shown.clear();
    clickTab(2);
    EXPECT_EQ(tabs.selected(), 2);
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown[0][0].toInt(), 2);
    // Tapping the selected tab shows nothing new but still hands the focus back.
    focus.clear();
    clickTab(2);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(focus.count(), 1);
    tabs.usun_zakladke(2);  // removing the shown tab goes back to the status tab
    EXPECT_EQ(strip->labelRow()->currentIndex(), 0);
    EXPECT_EQ(shown.last()[0].toInt(), 0);
}

// Tabs are composed from the pictures at unscaled size and stretched onto the
// label; the row is the label font's height + 4. A hidden tab's label takes its
// activity colour; the selected tab's mark goes as it is drawn.
TEST_F(TabStripTest, TabsAreComposedFromThePicturesAndHiddenOnesShowTheirActivity) {
    makeStrip(2);
    ASSERT_EQ(strip->labelRowHeight(), 13 * 2 + 4);
    tabs.setActivity(1, kRed);
    tabs.setActivity(0, kRed);
    const QImage image = shot();
    const QImage selected = QImage(":/ui/tab_selected.bmp").convertToFormat(QImage::Format_RGB32);
    const QImage other = QImage(":/ui/tab.bmp").convertToFormat(QImage::Format_RGB32);
    for (int index = 0; index < 3; ++index) {
        const QImage& picture = index == 0 ? selected : other;
        const QRect rect = strip->tabRect(index);
        // Row 15 of the 30 shows picture row 10; the outer column is the cap's own.
        EXPECT_EQ(image.pixel(rect.left(), rect.top() + 15), picture.pixel(0, 10)) << index;
    }
    const QColor red(255, 0, 0);
    EXPECT_GT(countNear(image, strip->tabRect(1), red), 0);
    EXPECT_EQ(countNear(image, strip->tabRect(0), red), 0);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);
}

}  // namespace
}  // namespace kolu
