// The views a tab shows (the text view, the user list, the tab strip), the slide button that
// sets a channel's user list width, drawn textures with fixed caps, and the splash.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QClipboard>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <map>

#include "gui/color_edit.h"
#include "gui/drawn_button.h"
#include "gui/qt_text_metrics.h"
#include "gui/slide_button.h"
#include "gui/splash.h"
#include "gui/tab_strip.h"
#include "gui/text_view_links.h"
#include "gui/user_list_view.h"
#include "tests/support/fake_line_source.h"
#include "tests/support/fixed_metrics.h"
#include "tests/widgets/widget_util.h"
#include "ui/event_sounds.h"
#include "ui/link_finder.h"
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

// What a screen reader finds in a hand-painted view: the names of its items.
QStringList accessibleItems(QWidget* widget) {
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(widget);
    QStringList items;
    for (int i = 0; list && i < list->childCount(); ++i) {
        items << list->child(i)->text(QAccessible::Name);
    }
    return items;
}

class ColorEditTest : public ::testing::Test {
  protected:
    void makeView(int width, int height) {
        view = std::make_unique<ColorEdit>(lines, metrics, colours, &shared);
        view->show();
        view->resize(width + view->width() - view->viewport()->width(),
                     height + view->height() - view->viewport()->height());
    }
    QImage shot() const { return view->viewport()->grab().toImage(); }
    // The middle of character cell `column` in the row whose top is `top`.
    QColor cellColour(const QImage& image, int column, int top) const {
        return image.pixelColor(column * cell + cell / 2, top + row / 2);
    }

    ColourTable colours = test::defaultColours();
    QtTextMetrics metrics{monoFont()};
    TextLines lines{&metrics};
    TextViewShared shared;
    std::unique_ptr<ColorEdit> view;
    const int cell = metrics.width(u"M");
    const int row = metrics.lineHeight();
};

TEST_F(ColorEditTest, NewestLineSitsAtTheBottomEdgeInItsColoursAndLongOnesWrap) {
    makeView(10 * cell + cell / 2, 150);  // ten characters fit a row
    EXPECT_EQ(view->addLine(blocks(u"###"), kRed), row);
    view->addLine(u"\u000304,02" + blocks(u"# ") + u"\u000f" + blocks(u"#"), kGreen);
    view->addLine(blocks(u"##### ############"), kBlue);
    const QImage image = shot();
    EXPECT_EQ(cellColour(image, 1, 150 - 4 * row), QColor(0, 0, 0x7F));  // the run's background
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
    EXPECT_EQ(bar->pageStep(), 10 * row);

    view->setAutoScroll(false);
    view->addLine(blocks(u"## new"), kBlue);
    QApplication::processEvents();
    EXPECT_EQ(bar->maximum(), largest + row);
    EXPECT_EQ(bar->value(), largest);
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
    const auto top = [&](int line) { return 8 * row - (4 - line) * row; };
    const auto at = [&](int line, int column) {
        return QPoint(column * cell + cell / 2, top(line) + row / 2);
    };
    const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(1, 6));
    QTest::mouseMove(view->viewport(), at(2, 5));
    QTest::mouseMove(view->viewport(), at(3, 3));
    EXPECT_GT(test::countColour(shot(), highlight, QRect(0, top(2), 300, row)), 0);
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

TEST_F(ColorEditTest, LinksAreUnderlinedInTheirColourAndAClickOnOneOpensItsAddress) {
    struct : LinkOpener {
        void openLink(const QString& address) override { opened << address; }
        QStringList opened;
    } opener;
    makeView(40 * cell, 4 * row);
    view->setLinkOpener(&opener);
    view->addLine(u"go www.kolu.org/a), or not", kRed);
    const int y = 4 * row - row / 2;
    const QColor link = qcolour(linkColourOn(colours[kTextViewBackground]));
    EXPECT_GT(test::countColour(shot(), link, QRect(3 * cell, y, 15 * cell, row)), 0);
    EXPECT_EQ(test::countColour(shot(), link, QRect(0, 0, 3 * cell, 4 * row)), 0);
    const auto click = [&](int column) {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          QPoint(column * cell + cell / 2, y));
        QApplication::processEvents();
    };
    for (const int beside : {1, 2, 18, 30}) {  // before it, its bracket, past the line's end
        click(beside);
    }
    EXPECT_TRUE(opener.opened.isEmpty());
    click(3);
    EXPECT_EQ(opener.opened, QStringList{QStringLiteral("http://www.kolu.org/a")});
}

TEST_F(ColorEditTest, ScreenReadersFindTheLinesInViewAsPlainText) {
    makeView(200, 2 * row + row / 2);
    for (const char16_t* text : {u"oldest", u"half",
                                 u"\x02"
                                 u"bold\x02 line",
                                 u"newest"}) {
        view->addLine(text, kRed);
    }
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::List);
    EXPECT_EQ(accessibleItems(view.get()), (QStringList{"half", "bold line", "newest"}));
    view->scrollRequest(ScrollRequest::Top);
    EXPECT_EQ(accessibleItems(view.get()), (QStringList{"oldest", "half", "bold line"}));
}

TEST_F(ColorEditTest, APagedStoreIsReadOnScrollingWithoutMovingTheLinesInView) {
    test::FakeLineSource source(3000);
    lines.setPaging(&source, 1000);
    makeView(300, 10 * row);
    for (const PagedLine& line : source.lines) {
        view->addLine(line.text, kRed, line.id);
    }
    QApplication::processEvents();
    // Where each line in view is, by its text.
    const auto inView = [&] {
        std::map<std::u16string, std::int64_t> tops;
        for (const PlacedLine& placed : view->linesInView()) {
            tops[lines.line(placed.index).text] = placed.top;
        }
        return tops;
    };
    // Lines that leave the front while the view is scrolled up move nothing in it.
    view->setAutoScroll(false);
    view->scrollRequest(ScrollRequest::LineUp);
    const auto before = inView();
    for (int i = 0; i < 600; ++i) {
        const std::int64_t id = source.add();
        view->addLine(source.text(id), kRed, id);
    }
    QApplication::processEvents();
    EXPECT_EQ(inView(), before);

    // A screen from the top a step up reads one page and the view moves by the step only.
    view->scrollRequest(ScrollRequest::ThumbTrack, 10 * row);
    const PlacedLine top = view->linesInView().front();
    const std::u16string topText = lines.line(top.index).text;
    const int reads = source.reads;
    view->scrollRequest(ScrollRequest::LineUp);
    EXPECT_EQ(source.reads, reads + 1);
    EXPECT_EQ(inView().at(topText), top.top + row);

    EXPECT_TRUE(view->showStoredLine(42));
    EXPECT_TRUE(inView().contains(source.text(42)));
    EXPECT_FALSE(view->showStoredLine(99999));
}

TEST_F(ColorEditTest, TheReadMarkerIsDrawnUnderItsLineAndAJumpHoldsTheViewUntilTheBottom) {
    test::FakeLineSource source(100);
    lines.setPaging(&source, 1000);
    makeView(300, 10 * row);
    const auto add = [&](std::int64_t id) { view->addLine(source.text(id), kRed, id); };
    for (const PagedLine& line : source.lines) {
        add(line.id);
    }
    QApplication::processEvents();
    const QColor marker = QColor::fromRgb(ColorEdit::kReadMarkerColour);
    view->markRead();  // at "line 99": nothing newer yet, so nothing drawn
    EXPECT_EQ(test::countColour(shot(), marker, shot().rect()), 0);
    for (int i = 0; i < 2000; ++i) {  // the marked line leaves memory
        add(source.add());
    }
    QApplication::processEvents();
    ASSERT_TRUE(view->jumpToReadMarker());
    const std::vector<PlacedLine> shown = view->linesInView();
    const auto marked = std::ranges::find(shown, source.text(100), [&](const PlacedLine& placed) {
        return lines.line(placed.index).text;
    });
    ASSERT_NE(marked, shown.end());
    const QImage image = shot();
    EXPECT_EQ(image.pixelColor(1, static_cast<int>(marked->top + marked->height) - 1), marker);

    add(source.add());  // auto-scroll is on, but the view stays with the marker
    QApplication::processEvents();
    EXPECT_EQ(view->linesInView(), shown);
    view->scrollRequest(ScrollRequest::Bottom);
    add(source.add());
    QApplication::processEvents();
    EXPECT_EQ(lines.line(view->linesInView().back().index).text, source.lines.back().text);
}

constexpr Colour kOperator = rgb(200, 0, 0);
constexpr Colour kVoice = rgb(0, 140, 0);
constexpr Colour kUser = rgb(0, 0, 190);

std::u16string name(std::u16string_view prefix, char16_t letter) {
    return std::u16string(prefix) + blocks(u"##") + letter;
}

class UserListViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ColourArray table = colours.entries();  // over the default background
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
        return image.pixelColor(x + metrics.horizontalAdvance(QChar(u'\u2588')) / 2,
                                slot * h + h / 2);
    }

    ColourTable colours = test::defaultColours();
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
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16)), row);
        EXPECT_EQ(view->rowAt(QPoint(5, row * 16 + 15)), row);
    }
    EXPECT_EQ(textAt(image, 5, u"@"), qcolour(colours[kUserListBackground]));
    EXPECT_EQ(view->rowAt(QPoint(5, 5 * 16)), -1);
}

// `dim` lies channel by channel between the text's and the background's, and is neither.
void expectDimmed(const QColor& dim, const QColor& text, const QColor& background) {
    EXPECT_NE(dim, text);
    EXPECT_NE(dim, background);
    for (const auto channel : {&QColor::red, &QColor::green, &QColor::blue}) {
        EXPECT_LE((dim.*channel)(), std::max((text.*channel)(), (background.*channel)()));
        EXPECT_GE((dim.*channel)(), std::min((text.*channel)(), (background.*channel)()));
    }
}

TEST_F(UserListViewTest, ScreenReadersFindTheRowsInViewAndWhichIsSelected) {
    for (const char16_t letter : {u'a', u'b', u'c', u'd', u'e'}) {
        users.insert(std::u16string(u"n") + letter);
    }
    makeView(16, 120, 2 * 16 + 8);
    view->verticalScrollBar()->setValue(2);
    view->setSelectedRow(3);
    EXPECT_EQ(accessibleItems(view.get()), (QStringList{"nc", "nd", "ne"}));
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view.get());
    EXPECT_TRUE(list->child(1)->state().selected);
    EXPECT_FALSE(list->child(0)->state().selected);
}

TEST_F(UserListViewTest, AnAwayMemberIsGreyedAndHoveringAKnownMemberTellsWhatIsKnown) {
    users.insert(name(u"@", 'a'));
    users.insert(name(u"", 'b'));
    users.insert(name(u"", 'c'));
    users.editDetails(name(u"", 'a'))->away = true;
    *users.editDetails(name(u"", 'b')) = {u"b@host", u"bacct", true, u"lunch"};
    makeView(16);
    const QImage image = shot();
    const QColor background = qcolour(colours[kUserListBackground]);
    expectDimmed(textAt(image, 0, u"@"), qcolour(kOperator), background);
    expectDimmed(textAt(image, 1, u""), qcolour(kUser), background);
    EXPECT_EQ(textAt(image, 2, u""), qcolour(kUser));

    auto hover = [&](int row) {
        const QPoint at(4, row * 16 + 8);
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
    };
    hover(1);
    const QString nick = QString::fromStdU16String(name(u"", 'b'));
    KOLU_WAIT_EQ(QToolTip::text(), nick + QStringLiteral(" (b@host)\nAccount: bacct\nAway: lunch"),
                 2000);
    hover(0);
    KOLU_WAIT_EQ(QToolTip::text(), QString::fromStdU16String(name(u"", u'a') + u"\nAway"), 2000);
    // A member nothing is known of, and below the last row: no tip.
    for (const int row : {2, 5}) {
        hover(row);
        KOLU_WAIT_EQ(QToolTip::text(), QString(), 2000);
    }
}

TEST_F(UserListViewTest, TheSelectedRowIsHighlightedFollowsItsMemberAndAHoldAsksForTheMenu) {
    users.insert(name(u"@", 'a'));
    users.insert(name(u"+", 'v'));
    users.insert(name(u"", 'c'));
    makeView(14);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 1 * 14 + 3));
    EXPECT_EQ(shot().pixelColor(view->viewport()->width() - 3, 14 + 1),  // right of its text
              view->palette().color(QPalette::Active, QPalette::Highlight));

    // An operator joins above it, then it is made operator: still the same member.
    users.insert(name(u"@", '0'));
    users.changeRank(name(u"", 'v'), u'o', true);
    view->refresh();
    EXPECT_EQ(view->selectedRow(), 2);
    EXPECT_EQ(view->selectedLabel(), name(u"@", 'v'));

    // The member leaves: nothing is selected; nor by a tap below the last row.
    users.remove(name(u"", 'v'));
    view->refresh();
    EXPECT_EQ(view->selectedLabel(), u"");
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

TEST_F(UserListViewTest, TheBackgroundPictureShowsThePartUnderEachRow) {
    const QImage picture = test::coordinatePicture(200, 100);
    users.insert(name(u"", 'a'));
    users.insert(name(u"", 'b'));
    QWidget window;
    window.resize(200, 100);
    makeView(10, 60, 80, &window);
    view->move(130, 10);
    window.show();
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
    EXPECT_EQ(switches, (QList<QVariantList>{{TabRegistry::kLeftArrow}}));

    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->selectedRow(), 0);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->selectedRow(), 25);
    // The list scrolled by whole rows to show it at the bottom.
    EXPECT_EQ(view->topRow(), 26 - view->viewport()->height() / 10);
}

struct RegistryParts {
    test::SettingsEnv env;
    test::RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
    test::FixedMetrics metrics;
};

class TabStripTest : public ::testing::Test, protected RegistryParts {
  protected:
    void SetUp() override {
        tabs.dodaj_status();
        tabs.dodaj_zakladke(u"#kolu");
        tabs.dodaj_zakladke(u"alice");
        strip = std::make_unique<TabStrip>(tabs);
        strip->setScale(2, false);
        strip->resize(640, 400);
        strip->show();
    }
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

    TabRegistry tabs{sounds, metrics};
    std::unique_ptr<TabStrip> strip;  // destroyed before the registry it observes
};

// Tabs are composed from the pictures at unscaled size and stretched onto the
// label; the row is the label font's height + 4. A hidden tab's label takes its
// activity colour; the selected tab's mark goes as it is drawn.
TEST_F(TabStripTest, TabsAreDrawnFromThePicturesFollowTheRegistryAndATapSelectsOne) {
    ASSERT_EQ(strip->labelRowHeight(), 13 * 2 + 4);
    tabs.setActivity(1, kRed);
    tabs.setActivity(0, kRed);
    const QImage image = strip->grab().toImage();
    for (int index = 0; index < 3; ++index) {
        const QImage picture(index == 0 ? ":/ui/tab_selected.bmp" : ":/ui/tab.bmp");
        // Row 15 of the 30 shows picture row 10; the outer column is the cap's own.
        EXPECT_EQ(image.pixel(strip->tabRect(index).topLeft() + QPoint(0, 15)),
                  picture.pixel(0, 10))
            << index;
    }
    EXPECT_GT(test::countColour(image, qcolour(kRed), strip->tabRect(1)), 0);
    EXPECT_EQ(test::countColour(image, qcolour(kRed), strip->tabRect(0)), 0);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);

    QSignalSpy added(strip.get(), &TabStrip::tabAdded);
    QSignalSpy shown(strip.get(), &TabStrip::tabShown);
    QSignalSpy focus(strip.get(), &TabStrip::focusInputRequested);
    tabs.dodaj_zakladke(u"&local");
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "alice", "&local"}));
    EXPECT_EQ(added, (QList<QVariantList>{{3}}));
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
    EXPECT_EQ(shown, (QList<QVariantList>{{2}}));
    // Tapping the selected tab shows nothing new but still hands the focus back.
    focus.clear();
    clickTab(2);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(focus.count(), 1);
    tabs.usun_zakladke(2);  // removing the shown tab goes back to the status tab
    EXPECT_EQ(strip->labelRow()->currentIndex(), 0);
    EXPECT_EQ(shown.last()[0].toInt(), 0);
}

// A main window's client area laid out as the handheld's: the tab strip (its tab
// row 17 pixels tall) holding a text view and a user list, and the slide button
// over the boundary. Tabs: Status, #a, #b with #a selected.
class SlideButtonTest : public ::testing::Test, protected RegistryParts {
  protected:
    void build(int scale) {
        tabs = std::make_unique<TabRegistry>(sounds, metrics, scale);
        tabs->dodaj_status();
        tabs->dodaj_zakladke(u"#a");
        tabs->dodaj_zakladke(u"#b");
        tabs->select(1);
        client = std::make_unique<QWidget>();
        client->resize(240 * scale, 320 * scale);
        strip = new QWidget(client.get());
        strip->setGeometry(0, 0, 240 * scale, 300 * scale);
        view = new QWidget(strip);
        view->setGeometry(0, 17, 100, 283 * scale);  // layOut keeps the tops and heights
        list = new QWidget(strip);
        list->setGeometry(100, 17, 50, 283 * scale);
        button = new SlideButton(*tabs, *strip, colours, scale, client.get());
        client->show();
        button->layOut(view, list);
    }
    void mouse(QEvent::Type type, int x) {
        const QPointF at(x, button->height() / 2);
        const bool move = type == QEvent::MouseMove;
        QMouseEvent event(type, at, button->mapToGlobal(at), move ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }

    ColourTable colours = test::defaultColours();
    std::unique_ptr<TabRegistry> tabs;
    std::unique_ptr<QWidget> client;
    QWidget* strip = nullptr;
    QWidget* view = nullptr;
    QWidget* list = nullptr;
    SlideButton* button = nullptr;
};

// Widths are unscaled pixels of a 240-pixel-wide client; the button, hidden
// until asked for, is centred on the boundary 20 pixels above the strip's bottom.
TEST_F(SlideButtonTest, DragsSetTheWidthWithinLimitsMoveTheWindowsAndEachChannelKeepsItsOwn) {
    const struct {
        int scale;
        std::initializer_list<int> steps;
        int width;
    } cases[] = {
        {1, {-500}, 240 - 30},  // the text view keeps 30
        {1, {500}, 30},         // the list keeps 30
        {2, {-40}, 80},         // scaled: the same drag in twice the pixels
        {2, {}, 60},            // a tap without moving keeps the width
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << " width " << c.width);
        build(c.scale);
        QSignalSpy widths(button, &SlideButton::widthChanged);
        QSignalSpy finished(button, &SlideButton::dragFinished);
        // Each step is from the button's middle where it then stands.
        mouse(QEvent::MouseButtonPress, button->width() / 2);
        for (int step : c.steps) {
            mouse(QEvent::MouseMove, button->width() / 2 + step);
        }
        mouse(QEvent::MouseButtonRelease, button->width() / 2);
        const int s = c.scale;
        const int left = (240 - c.width) * s;
        EXPECT_EQ(tabs->pobierz_lparam(1)->userListWidth, c.width * s);
        EXPECT_EQ(widths.isEmpty() ? 60 * s : widths.last().at(0).toInt(), c.width * s);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_EQ(view->geometry(), QRect(0, 17, left, 283 * s));
        EXPECT_EQ(list->geometry(), QRect(left, 17, c.width * s, 283 * s));
        EXPECT_EQ(button->geometry(), QRect(left - 10 * s, 260 * s, 20 * s, 20 * s));
    }

    build(1);
    mouse(QEvent::MouseButtonPress, 10);
    mouse(QEvent::MouseMove, 0);
    EXPECT_EQ(list->geometry(), QRect(170, 17, 70, 283));
    // Positions count from the button, moved with the boundary; the x last seen changes nothing.
    mouse(QEvent::MouseMove, -10);
    mouse(QEvent::MouseMove, -10);
    mouse(QEvent::MouseButtonRelease, -10);
    EXPECT_EQ(tabs->pobierz_lparam(1)->userListWidth, 90);
    tabs->select(2);
    button->layOut(view, list);
    EXPECT_EQ(list->geometry(), QRect(180, 17, 60, 283));

    button->show();
    const QImage up = button->grab().toImage();
    // The base picture's corners are clear: what meets there shows.
    EXPECT_EQ(up.pixelColor(0, 0), test::qcolour(colours[kTextViewBackground]));
    button->setDown(true);
    EXPECT_NE(button->grab().toImage().pixelColor(4, 16), up.pixelColor(4, 16));
}

// The picture's columns tell their x: 8 left-cap columns, a middle of 4, 8 right-cap ones.
TEST(DrawnButton, TextureKeepsBothCapsAndStretchesTheMiddle) {
    const QImage bitmap = test::coordinatePicture(20, 2);
    for (int width : {16, 17, 90}) {  // no middle, one column, stretched
        SCOPED_TRACE(width);
        const QImage face = composeTexture(bitmap, width);
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(face.pixel(x, 1), bitmap.pixel(x, 1)) << x;
            EXPECT_EQ(face.pixel(width - 8 + x, 1), bitmap.pixel(12 + x, 1)) << x;
        }
        for (int x = 8; x < width - 8; ++x) {
            EXPECT_EQ(face.pixelColor(x, 0).red() / 4, 2) << x;  // one of columns 8 to 11
        }
    }
    EXPECT_TRUE(composeTexture(bitmap, 0).isNull());
}

TEST(Splash, SitsBelowTheMiddleWritesItsNameAndATapClosesIt) {
    QWidget main;
    main.resize(480, 640);
    main.show();
    // A VGA screen shows the splash at its own size: scale 1 in a window of scale 2.
    Splash splash(2, true, &main);
    EXPECT_EQ(splash.placement(), QRect(120, (640 - 151) / 2 + 22, 240, 151));
    QTimer::singleShot(0, &splash, [&] {
        EXPECT_EQ(splash.size(), QSize(240, 151));
        QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(200, 140));
    });
    EXPECT_EQ(splash.exec(), QDialog::Accepted);
    const QImage shot = splash.grab().toImage();
    const QColor white(255, 255, 255);
    EXPECT_GT(test::countColour(shot, white, QRect(0, 100, 150, 14)), 10);
    EXPECT_EQ(test::countColour(shot, white, QRect(0, 60, 150, 14)), 0) << "the logo, not text";
}

}  // namespace
}  // namespace kolu
