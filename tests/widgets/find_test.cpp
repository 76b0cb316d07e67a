// Finding text: the find bar over a tab's view, and the search of every tab's stored history.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QThread>
#include <atomic>

#include "gui/color_edit.h"
#include "gui/find_bar.h"
#include "gui/qt_text_metrics.h"
#include "gui/search_dialog.h"
#include "tests/support/fake_line_source.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

class FindBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(12);
        metrics.setFont(font);
        view.resize(300, 10 * metrics.lineHeight());
        view.show();
        bar.setTarget(&view, &lines);
    }
    void find(const QString& text) {
        bar.open();
        bar.field()->clear();
        QTest::keyClicks(bar.field(), text);
        KOLU_WAIT_FOR(!bar.searching(), 5000);
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(bar.field(), key, modifiers);
    }
    // Pixels of the view painted in `colour` in the cells [first, last] of every row.
    int painted(QRgb colour, int first = 0, int last = 1000) {
        const QImage image = view.viewport()->grab().toImage();
        const int cell = metrics.width(u"M");
        return test::countColour(image, QColor::fromRgb(colour),
                                 QRect(first * cell, 0, (last - first + 1) * cell, image.height()));
    }

    ColourTable colours = test::defaultColours();
    QtTextMetrics metrics;
    TextLines lines{&metrics};
    ColorEdit view{lines, metrics, colours};
    FindBar bar;
};

TEST_F(FindBarTest, MatchesAreLitWhereTheyStandAndEnterStepsOlderAndWraps) {
    for (int i = 0; i < 60; ++i) {
        lines.append(i % 25 == 5 ? u"ab ZOË cd" : u"some other line", 0);  // lines 5, 30, 55
    }
    find(QStringLiteral("zoe"));
    EXPECT_EQ(bar.status(), QStringLiteral("1 of 3"));
    EXPECT_EQ(bar.current()->line, 55u);
    // Only the three cells of the match are lit, and it is the current one.
    EXPECT_GT(painted(ColorEdit::kCurrentFoundColour, 3, 5), 0);
    EXPECT_EQ(painted(ColorEdit::kCurrentFoundColour, 0, 2), 0);
    EXPECT_EQ(painted(ColorEdit::kCurrentFoundColour, 6), 0);

    key(Qt::Key_Return);
    EXPECT_EQ(bar.status(), QStringLiteral("2 of 3"));
    EXPECT_EQ(bar.current()->line, 30u);
    // The view went up to it: neither neighbour is in sight.
    EXPECT_GT(painted(ColorEdit::kCurrentFoundColour), 0);
    EXPECT_EQ(painted(ColorEdit::kFoundColour), 0);
    key(Qt::Key_Return);
    key(Qt::Key_Return);
    EXPECT_EQ(bar.status(), QStringLiteral("1 of 3"));
    key(Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(bar.current()->line, 5u);
    // A line that comes while the bar is open holds the newest match; the current one stays.
    lines.append(u"zoe again", 0);
    KOLU_WAIT_EQ(bar.status(), QStringLiteral("4 of 4"), 2000);
    EXPECT_EQ(bar.current()->line, 5u);

    QSignalSpy dismissed(&bar, &FindBar::dismissed);
    key(Qt::Key_Escape);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_EQ(painted(ColorEdit::kFoundColour) + painted(ColorEdit::kCurrentFoundColour), 0);
    bar.open();  // the words stay
    KOLU_WAIT_FOR(!bar.searching(), 5000);
    EXPECT_EQ(bar.status(), QStringLiteral("1 of 4"));
}

TEST_F(FindBarTest, AHugeTabIsSearchedInSlicesWhileTheEventLoopTurns) {
    for (int i = 0; i < 4000; ++i) {
        lines.append(i % 1000 == 7 ? u"Zoë" : u"filler", 0);
    }
    bar.setSliceBudget(std::chrono::steady_clock::duration::zero());
    bool turnedWhileSearching = false;
    QTimer::singleShot(0, [&] { turnedWhileSearching = bar.searching(); });
    find(QStringLiteral("zoe"));
    EXPECT_TRUE(turnedWhileSearching);
    EXPECT_EQ(bar.status(), QStringLiteral("1 of 4"));
}

TEST_F(FindBarTest, AFindFollowsItsLinesWhenOldOnesLeaveMemory) {
    test::FakeLineSource source(1400);
    lines.setPaging(&source, 1000);
    const auto add = [&](const PagedLine& line) { lines.append(line.text, 0, line.id); };
    std::for_each(source.lines.begin(), source.lines.end(), add);
    find(QStringLiteral("7"));
    key(Qt::Key_Return);
    const TextMatch current = *bar.current();
    for (int i = 0; i < 200; ++i) {
        add(source.lines[static_cast<std::size_t>(source.add()) - 1]);
    }
    QApplication::processEvents();
    ASSERT_GT(lines.firstPosition(), 0);  // the oldest lines left
    EXPECT_EQ(bar.current(), current);
    // The matches of the lines still in memory: the same as a search started now.
    const std::vector<TextMatch> kept = bar.finder().matches();
    find(QStringLiteral("7"));
    EXPECT_EQ(bar.finder().matches(), kept);
}

TEST(SearchDialog, HitsComeFromAnotherThreadNewestFirstPlainAndAChosenOneIsSignalled) {
    std::atomic<bool> offThread = false;
    SearchDialog dialog([&](const std::u16string& query, int limit) {
        offThread = QThread::currentThread() != qApp->thread();
        EXPECT_EQ(query, u"zoe");
        EXPECT_EQ(limit, SearchDialog::kLimit);
        return std::vector<SearchHit>{{u"Net", u"#old", 1000, u"older zoe", 1},
                                      {u"Net", u"#new", 3000, u"\u0002newest\u0002 zoe", 3},
                                      {u"Other", u"bob", 2000, u"middle zoe", 2}};
    });
    dialog.setQuery(QStringLiteral(" zoe "));
    KOLU_WAIT_FOR(!dialog.searching(), 5000);
    EXPECT_TRUE(offThread);
    QListWidget* results = dialog.results();
    ASSERT_EQ(results->count(), 3);
    EXPECT_EQ(results->item(0)->text().section(u'\n', 1), QStringLiteral("newest zoe"));
    EXPECT_TRUE(results->item(1)->text().startsWith(QStringLiteral("bob · Other · ")));
    EXPECT_EQ(results->item(2)->text().section(u'\n', 1), QStringLiteral("older zoe"));

    QSignalSpy chosen(&dialog, &SearchDialog::hitChosen);
    emit results->itemActivated(results->item(1));
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0],
              (QVariantList{QStringLiteral("Other"), QStringLiteral("bob"), qlonglong{2}}));

    SearchDialog off(HistorySearch{});  // no history kept: nothing to type into
    EXPECT_FALSE(off.field()->isEnabled());
}

}  // namespace
}  // namespace kolu
