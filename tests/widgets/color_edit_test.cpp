#include "ui/widgets/color_edit.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <memory>
#include <string>

#include "tests/support/qt_app.h"
#include "tests/support/settings_env.h"
#include "tests/widgets/widget_util.h"
#include "ui/widgets/qt_text_metrics.h"

namespace kolu {
namespace {

using test::qcolour;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

QFont monoFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(12);
    return font;
}

// '#' stands for a block, which fills its whole cell in the line's colour.
std::u16string blocks(std::u16string_view pattern) {
    std::u16string text(pattern);
    std::replace(text.begin(), text.end(), u'#', u'\u2588');
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
    // Lets the event loop turn, so the view follows the lines added meanwhile.
    static void turn() { QApplication::processEvents(); }

    QApplication& app = test::application();  // before the font metrics
    ColourTable colours;
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
    // A blank at half the width ends the row; none at all cuts at the width.
    view->addLine(blocks(u"##### ############"), kBlue);
    EXPECT_EQ(view->totalHeight(), 5 * row);
    const QImage image = shot();
    EXPECT_EQ(cellColour(image, 1, 150 - 5 * row), qcolour(kRed));
    EXPECT_EQ(cellColour(image, 0, 150 - 4 * row), QColor(0xFF, 0, 0));
    EXPECT_EQ(cellColour(image, 1, 150 - 4 * row), QColor(0, 0, 0x7F));  // the run's background
    EXPECT_EQ(cellColour(image, 2, 150 - 4 * row), qcolour(kGreen));     // after the reset
    EXPECT_EQ(cellColour(image, 4, 150 - 3 * row), qcolour(kBlue));
    EXPECT_NE(cellColour(image, 5, 150 - 3 * row), qcolour(kBlue));
    EXPECT_EQ(cellColour(image, 9, 150 - 2 * row), qcolour(kBlue));
    EXPECT_EQ(image.pixelColor(1, 149), qcolour(kBlue));  // down to the last pixel row
    const QColor background = qcolour(colours[kTextViewBackground]);
    const int above = 150 - 5 * row - 1;  // less a pixel row a block may reach past its own
    EXPECT_EQ(test::countColour(image, background, QRect(0, 0, image.width(), above)),
              image.width() * above);
}

TEST_F(ColorEditTest, ABurstIsFollowedOnceTheLoopTurnsAndOffKeepsTheViewStill) {
    makeView(200, 10 * row);
    for (int i = 0; i < 1000; ++i) {
        view->addLine(blocks(u"## line"), kGreen);
    }
    // No line moved the scroll bar; the view already answers where they take it.
    QScrollBar* bar = view->verticalScrollBar();
    const int largest = 1000 * row - 10 * row + 1;
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_EQ(view->scrollPosition(), largest);
    turn();
    EXPECT_EQ(bar->maximum(), largest);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(bar->pageStep(), 10 * row);

    view->setAutoScroll(false);
    const QImage before = shot();
    view->addLine(blocks(u"## new"), kBlue);
    turn();
    EXPECT_EQ(bar->maximum(), largest + row);
    EXPECT_EQ(bar->value(), largest);
    EXPECT_EQ(shot(), before);
    // The flag is shared: another view turns it back on for both.
    TextLines otherLines{&metrics};
    ColorEdit other(otherLines, metrics, colours, &shared);
    EXPECT_FALSE(other.autoScroll());
    other.setAutoScroll(true);
    view->addLine(blocks(u"## last"), kRed);
    turn();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(cellColour(shot(), 0, 9 * row), qcolour(kRed));
}

TEST_F(ColorEditTest, LineStepsAndTheWheelScrollByTextLines) {
    makeView(200, 10 * row);
    for (int i = 0; i < 30; ++i) {
        view->addLine(blocks(u"####"), rgb(i * 8, 255 - i * 8, 0));
    }
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    // At position 0 the oldest line starts one pixel below the top edge.
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(rgb(0, 255, 0)));
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(view->scrollPosition(), row);
    EXPECT_EQ(cellColour(shot(), 0, 1), qcolour(rgb(8, 247, 0)));
    QWheelEvent wheel(QPointF(10, 10), view->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(view->scrollPosition(), (1 + QApplication::wheelScrollLines()) * row);
    EXPECT_EQ(bar->value(), view->scrollPosition());
}

TEST_F(ColorEditTest, DraggingOverLinesHighlightsThemAndCopiesOnRelease) {
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
}

TEST_F(ColorEditTest, ATapAndHoldAsksForTheMenuAndSelectsNothing) {
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
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(ColorEditTest, BackgroundPictureShowsThePartUnderTheView) {
    const QImage picture = test::coordinatePicture(200, 100);
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
    EXPECT_EQ(shot().pixelColor(5, 5), qcolour(colours[kTextViewBackground]));
    env.putDword(kSettingsKey, u"bmp", 1);
    view->refresh();
    // Measured from the view's outer corner; the picture and the window are the same size.
    EXPECT_EQ(shot().pixelColor(30, 17), QColor(90, 37, 77));
    view.reset();
}

}  // namespace
}  // namespace kolu
