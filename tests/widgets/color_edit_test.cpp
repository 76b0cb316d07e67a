#include "ui/widgets/color_edit.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <string>

#include "tests/support/qt_app.h"
#include "tests/support/settings_env.h"
#include "ui/widgets/qt_text_metrics.h"

namespace kolu {
namespace {

constexpr char16_t kBlock = u'\u2588';  // fills its whole cell, so its pixels are the line colour
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

QFont monoFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(12);
    return font;
}

// '#' stands for a block, ' ' for a blank.
std::u16string blocks(std::u16string_view pattern) {
    std::u16string text(pattern);
    for (char16_t& c : text) {
        if (c == u'#') {
            c = kBlock;
        }
    }
    return text;
}

// One view over its own store, shown offscreen with a viewport of the given size.
class ColorEditTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ColourArray defaults{};
        OpKoloryDomyslne(defaults);
        colours.set(defaults);
        cell = metrics.width(u"M");
        row = metrics.lineHeight();
    }

    void makeView(int viewportWidth, int viewportHeight, TextLines* store = nullptr) {
        view = std::make_unique<ColorEdit>(store ? *store : lines, metrics, colours, &shared);
        view->show();
        setViewportSize(viewportWidth, viewportHeight);
    }
    void setViewportSize(int width, int height) {
        const int dx = view->width() - view->viewport()->width();
        const int dy = view->height() - view->viewport()->height();
        view->resize(width + dx, height + dy);
        ASSERT_EQ(view->viewport()->size(), QSize(width, height));
    }
    // A viewport exactly `columns` characters wide (plus less than one more).
    void makeViewColumns(int columns, int viewportHeight, TextLines* store) {
        makeView(columns * cell + cell / 2, viewportHeight, store);
    }

    QImage shot() const { return view->viewport()->grab().toImage(); }
    // Lets the event loop turn, so the view follows the lines added meanwhile.
    static void turn() { QApplication::processEvents(); }
    QColor pixel(const QImage& image, int x, int y) const { return image.pixelColor(x, y); }
    // The middle of character cell `column` in the row whose top is `top`.
    QColor cellColour(const QImage& image, int column, int top) const {
        return image.pixelColor(column * cell + cell / 2, top + row / 2);
    }
    // The row as '#' (line colour) and ' ' (anything else), `columns` cells wide.
    std::string rowCells(const QImage& image, int top, int columns, Colour colour) const {
        std::string cells;
        for (int column = 0; column < columns; ++column) {
            cells += cellColour(image, column, top) == qcolour(colour) ? '#' : ' ';
        }
        return cells;
    }
    int countPixels(const QImage& image, int top, int bottom, const QColor& colour) const {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += image.pixelColor(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }
    QColor background() const { return qcolour(colours[kTextViewBackground]); }

    QApplication& app = test::application();  // before the font metrics
    ColourTable colours;
    QtTextMetrics metrics{monoFont()};
    TextLines lines{&metrics};
    TextViewShared shared;
    std::unique_ptr<ColorEdit> view;
    int cell = 0;
    int row = 0;
};

TEST_F(ColorEditTest, EmptyViewShowsOnlyItsBackground) {
    makeView(200, 150);
    const QImage image = shot();
    EXPECT_EQ(countPixels(image, 0, 150, background()), 200 * 150);
    EXPECT_EQ(view->verticalScrollBar()->minimum(), 0);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);
}

TEST_F(ColorEditTest, NewestLineSitsAtTheBottomEdgeInItsColour) {
    makeView(200, 150);
    EXPECT_EQ(view->addLine(blocks(u"###"), kRed), row);
    view->addLine(blocks(u"###"), kGreen);
    EXPECT_EQ(view->addLine(blocks(u"###"), kBlue), 3 * row);
    const QImage image = shot();
    EXPECT_EQ(cellColour(image, 1, 150 - 3 * row), qcolour(kRed));
    EXPECT_EQ(cellColour(image, 1, 150 - 2 * row), qcolour(kGreen));
    EXPECT_EQ(cellColour(image, 1, 150 - row), qcolour(kBlue));
    EXPECT_EQ(pixel(image, 1, 149), qcolour(kBlue));  // down to the last pixel row
    // Above the lines (less a pixel row the block glyph may reach past its row).
    const int above = 150 - 3 * row - 1;
    EXPECT_EQ(countPixels(image, 0, above, background()), 200 * above);
    EXPECT_EQ(view->verticalScrollBar()->maximum(), 0);
}

TEST_F(ColorEditTest, StyledRunsDrawInTheirColoursAndTheRestInTheLinesColour) {
    makeView(200, 150);
    view->addLine(
        u"\x03"
        u"04,02" +
            blocks(u"# ") + u"\x0f" + blocks(u"#"),
        kGreen);
    const QImage image = shot();
    const int top = 150 - row;
    EXPECT_EQ(cellColour(image, 0, top), QColor(0xFF, 0, 0));
    EXPECT_EQ(cellColour(image, 1, top), QColor(0, 0, 0x7F));  // the background under a blank
    EXPECT_EQ(cellColour(image, 2, top), qcolour(kGreen));     // after the reset
}

struct WrapCase {
    const char* name;
    std::u16string_view text;  // '#' a block, ' ' a blank
    std::vector<std::string> rows;
};

TEST_F(ColorEditTest, LongLinesWrapAtTheWidthPreferringABlank) {
    // Ten characters fit a row; a blank at index 10 down to 5 ends the row.
    const WrapCase cases[] = {
        {"no blank: cut at the width",
         u"#######################",
         {"##########", "##########", "###       "}},
        {"blank before fit / 2: the word is cut",
         u"## ####################",
         {"## #######", "##########", "###       "}},
        {"blank at fit / 2 ends the row",
         u"##### ############",
         {"#####     ", "##########", "##        "}},
        {"blank at the first place that doesn't fit ends the row",
         u"########## #####",
         {"##########", "#####     "}},
    };
    for (const WrapCase& c : cases) {
        TextLines caseLines{&metrics};
        makeViewColumns(10, 100, &caseLines);
        view->addLine(blocks(c.text), kBlue);
        const int count = static_cast<int>(c.rows.size());
        EXPECT_EQ(view->totalHeight(), count * row) << c.name;
        const QImage image = shot();
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(rowCells(image, 100 - (count - i) * row, 10, kBlue), c.rows[i])
                << c.name << ", row " << i;
        }
        EXPECT_EQ(rowCells(image, 100 - (count + 1) * row, 10, kBlue), std::string(10, ' '))
            << c.name;
        view.reset();
    }
}

TEST_F(ColorEditTest, AutoScrollFollowsNewLinesAndOffKeepsTheViewStill) {
    makeView(200, 10 * row);
    for (int i = 0; i < 30; ++i) {
        view->addLine(blocks(u"## line"), i % 2 ? kRed : kGreen);
    }
    turn();
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(bar->maximum(), 30 * row - 10 * row + 1);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(bar->pageStep(), 10 * row);

    view->setAutoScroll(false);
    const QImage before = shot();
    const int position = view->scrollPosition();
    for (int i = 0; i < 5; ++i) {
        view->addLine(blocks(u"## new"), kBlue);
    }
    turn();
    EXPECT_EQ(bar->maximum(), 35 * row - 10 * row + 1);
    EXPECT_EQ(bar->value(), position);
    EXPECT_EQ(view->scrollPosition(), position);
    EXPECT_EQ(shot(), before);

    // The flag is shared: another view sharing it doesn't follow either.
    TextLines otherLines{&metrics};
    ColorEdit other(otherLines, metrics, colours, &shared);
    EXPECT_FALSE(other.autoScroll());
    other.setAutoScroll(true);
    EXPECT_TRUE(view->autoScroll());

    view->addLine(blocks(u"## last"), kRed);
    turn();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(cellColour(shot(), 0, 10 * row - row), qcolour(kRed));
}

TEST_F(ColorEditTest, ABurstOfLinesIsFollowedOnceWhenTheEventLoopTurns) {
    makeView(200, 10 * row);
    for (int i = 0; i < 1000; ++i) {
        view->addLine(blocks(u"## line"), kGreen);
    }
    view->addLine(blocks(u"## newest"), kRed);
    // No line moved the scroll bar; the view already answers where they take it.
    QScrollBar* bar = view->verticalScrollBar();
    const int largest = 1001 * row - 10 * row + 1;
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_EQ(view->scrollPosition(), largest);
    turn();
    EXPECT_EQ(bar->maximum(), largest);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(cellColour(shot(), 0, 9 * row), qcolour(kRed));
}

TEST_F(ColorEditTest, LineDownMovesByOneTextLineAndASmallThumbMoveDrawsNothing) {
    makeView(200, 10 * row);
    for (int i = 0; i < 30; ++i) {
        view->addLine(blocks(u"####"), rgb(i * 8, 255 - i * 8, 0));
    }
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(view->scrollPosition(), 0);
    // At position 0 the oldest line starts one pixel below the top edge.
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(rgb(0, 255, 0)));

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view->scrollPosition(), row);
    EXPECT_EQ(bar->value(), row);
    const QImage scrolled = shot();
    EXPECT_EQ(cellColour(scrolled, 0, 1), qcolour(rgb(8, 247, 0)));
    EXPECT_EQ(cellColour(scrolled, 0, 1 + 8 * row), qcolour(rgb(72, 183, 0)));

    bar->setSliderPosition(row + 3);  // a thumb drag of 3 pixels
    EXPECT_EQ(view->scrollPosition(), row + 3);
    EXPECT_EQ(shot(), scrolled);
    // A slow drag: 3 pixels at a time, drawn once it is a line from the last drawing.
    for (int moved = 6; moved <= row; moved += 3) {
        bar->setSliderPosition(row + moved);
    }
    bar->setSliderPosition(row + row + 3);
    EXPECT_EQ(cellColour(shot(), 0, 1 - 3), qcolour(rgb(16, 239, 0)));
    bar->setSliderPosition(row + 3);

    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view->scrollPosition(), 3);

    // One notch of the wheel scrolls the usual number of text lines.
    QWheelEvent wheel(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(view->scrollPosition(), 3 + QApplication::wheelScrollLines() * row);
    EXPECT_EQ(bar->value(), view->scrollPosition());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(view->scrollPosition(), 30 * row - 10 * row + 1);
    EXPECT_EQ(cellColour(shot(), 0, 9 * row), qcolour(rgb(29 * 8, 255 - 29 * 8, 0)));
}

TEST_F(ColorEditTest, DraggingOverThreeLinesHighlightsThemAndCopiesOnRelease) {
    makeView(300, 8 * row);
    const std::u16string texts[] = {u"zero line", u"first line", u"second line", u"third line",
                                    u"fourth line"};
    for (const std::u16string& text : texts) {
        view->addLine(text, colours.of(LineClass::Normal));
    }
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    const auto lineTop = [&](int line) { return 8 * row - (5 - line) * row; };
    const auto at = [&](int line, int column) {
        return QPoint(column * cell + cell / 2, lineTop(line) + row / 2);
    };
    const QColor highlight = view->palette().color(QPalette::Active, QPalette::Highlight);

    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(1, 6));
    QTest::mouseMove(view->viewport(), at(2, 5));
    QTest::mouseMove(view->viewport(), at(3, 3));
    EXPECT_EQ(view->selectionLength(), 4u + 11u + 3u);
    const QImage during = shot();
    EXPECT_GT(countPixels(during, lineTop(2), lineTop(2) + row, highlight), 0);
    EXPECT_EQ(countPixels(during, lineTop(0), lineTop(0) + row, highlight), 0);
    EXPECT_EQ(countPixels(during, lineTop(4), lineTop(4) + row, highlight), 0);

    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(3, 3));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("linesecond linethi"));
    EXPECT_EQ(view->selectionLength(), 0u);
    EXPECT_EQ(countPixels(shot(), 0, 8 * row, highlight), 0);

    // Within one line and back to the start point: nothing is selected or copied.
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, at(2, 1));
    QTest::mouseMove(view->viewport(), at(2, 8));
    QTest::mouseMove(view->viewport(), at(2, 1));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at(2, 1));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(ColorEditTest, TapAndHoldAndRightClickAskForTheContextMenu) {
    makeView(300, 8 * row);
    view->addLine(u"some text to hold", kRed);
    QApplication::clipboard()->setText(QStringLiteral("untouched"));
    QSignalSpy spy(view.get(), &ColorEdit::contextMenuRequested);
    const QPoint point(3 * cell, 8 * row - row / 2);

    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, point);
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.at(0).at(0).toPoint(), view->viewport()->mapToGlobal(point));
    QTest::mouseMove(view->viewport(), point + QPoint(8 * cell, 0));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, point + QPoint(8 * cell, 0));
    EXPECT_EQ(view->selectionLength(), 0u);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));

    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, point,
                                 view->viewport()->mapToGlobal(point));
    QApplication::sendEvent(view->viewport(), &rightClick);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toPoint(), view->viewport()->mapToGlobal(point));
}

TEST_F(ColorEditTest, BackgroundPictureShowsThePartUnderTheView) {
    // A picture whose pixel colours tell their coordinates, over a 200 x 100 window.
    QImage picture(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            picture.setPixelColor(x, y, QColor(x, y, 77));
        }
    }
    QWidget window;
    window.resize(200, 100);
    view = std::make_unique<ColorEdit>(lines, metrics, colours, &shared, &window);
    view->setGeometry(60, 20, 120, 70);
    window.show();
    test::SettingsEnv env;
    env.install();
    view->setSettings(&env.settings);
    view->setBackgroundPicture(&picture);

    env.putDword(kSettingsKey, u"bmp", 0);
    view->refresh();
    EXPECT_EQ(pixel(shot(), 5, 5), background());

    env.putDword(kSettingsKey, u"bmp", 1);
    view->refresh();
    const QImage image = shot();
    // Measured from the view's outer corner; the picture and the window are the same size.
    EXPECT_EQ(pixel(image, 0, 0), QColor(60, 20, 77));
    EXPECT_EQ(pixel(image, 30, 17), QColor(90, 37, 77));
    view.reset();
}

TEST_F(ColorEditTest, AMillionLineViewScrollsFromEndToEnd) {
    constexpr int kLines = 1000000;
    const auto colourOf = [](int i) { return rgb(i & 0xFF, (i >> 8) & 0xFF, 0x80); };
    for (int i = 0; i < kLines; ++i) {
        lines.append(blocks(u"## line"), colourOf(i));
    }
    makeView(200, 10 * row);
    QScrollBar* bar = view->verticalScrollBar();
    const int largest = kLines * row - 10 * row + 1;
    EXPECT_EQ(view->totalHeight(), kLines * row);
    EXPECT_EQ(bar->maximum(), largest);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(cellColour(shot(), 0, 9 * row), qcolour(colourOf(kLines - 1)));

    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(colourOf(0)));
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view->scrollPosition(), 10 * row);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(colourOf(10)));

    bar->setSliderPosition(500000 * row);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(colourOf(500000)));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(colourOf(500001)));

    // A new line brings the view back to the bottom.
    EXPECT_EQ(view->addLine(blocks(u"## newest"), kRed), (kLines + 1) * row);
    turn();
    EXPECT_EQ(bar->value(), largest + row);
    EXPECT_EQ(cellColour(shot(), 0, 9 * row), qcolour(kRed));
}

}  // namespace
}  // namespace kolu
