// The drawn buttons: the slide button that sets a channel's user list width,
// textures with fixed caps, the full-screen button, and the splash.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "gui/drawn_button.h"
#include "gui/slide_button.h"
#include "gui/splash.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/widgets/widget_util.h"
#include "ui/event_sounds.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using test::qcolour;

// A main window's client area laid out as the handheld's: the tab strip (its tab
// row 17 pixels tall) holding a text view and a user list, and the slide button
// over the boundary. Tabs: Status, #a, #b with #a selected.
class SlideButtonTest : public ::testing::Test {
  protected:
    void build(int scale) {
        test::application();
        tabs = std::make_unique<TabRegistry>(sounds, metrics, scale);
        tabs->dodaj_status();
        tabs->dodaj_zakladke(u"#a");
        tabs->dodaj_zakladke(u"#b");
        tabs->select(1);
        ColourArray entries{};
        OpKoloryDomyslne(entries);
        entries[kTextViewBackground] = 0x00FF00;  // green
        entries[kUserListBackground] = 0xFF0000;  // blue
        colours.set(entries);
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
    int userListWidth(int tab) { return tabs->pobierz_lparam(tab)->userListWidth; }
    void mouse(QEvent::Type type, int x) {
        const QPointF at(x, button->height() / 2);
        const bool move = type == QEvent::MouseMove;
        QMouseEvent event(type, at, button->mapToGlobal(at), move ? Qt::NoButton : Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
    // Presses in the button's middle, moves by each step in turn (positions
    // relative to the button where it then stands), and releases.
    void drag(std::initializer_list<int> steps) {
        const int middle = button->width() / 2;
        mouse(QEvent::MouseButtonPress, middle);
        for (int step : steps) {
            mouse(QEvent::MouseMove, middle + step);
        }
        mouse(QEvent::MouseButtonRelease, middle);
    }

    test::SettingsEnv env;
    test::RecordingSound player;
    EventSounds sounds{env.settings, player, env.log};
    test::FixedMetrics metrics;
    ColourTable colours;
    std::unique_ptr<TabRegistry> tabs;
    std::unique_ptr<QWidget> client;
    QWidget* strip = nullptr;
    QWidget* view = nullptr;
    QWidget* list = nullptr;
    SlideButton* button = nullptr;
};

// Widths are unscaled pixels of a 240-pixel-wide client; the button, hidden
// until asked for, is centred on the boundary 20 pixels above the strip's bottom.
TEST_F(SlideButtonTest, DraggingChangesTheWidthWithinTheLimitsAndLaysOutTheWindowsScaled) {
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
        EXPECT_FALSE(button->isVisible());
        QSignalSpy widths(button, &SlideButton::widthChanged);
        QSignalSpy finished(button, &SlideButton::dragFinished);
        drag(c.steps);
        const int s = c.scale;
        const int left = (240 - c.width) * s;
        EXPECT_EQ(userListWidth(1), c.width * s);
        EXPECT_EQ(widths.isEmpty() ? 60 * s : widths.last().at(0).toInt(), c.width * s);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_EQ(view->geometry(), QRect(0, 17, left, 283 * s));
        EXPECT_EQ(list->geometry(), QRect(left, 17, c.width * s, 283 * s));
        EXPECT_EQ(button->geometry(), QRect(left - 10 * s, 260 * s, 20 * s, 20 * s));
    }
}

TEST_F(SlideButtonTest, WindowsFollowEachMoveEachChannelShowsItsOwnWidthAndItsCornersTheirColours) {
    build(1);
    mouse(QEvent::MouseButtonPress, 10);
    mouse(QEvent::MouseMove, 0);
    EXPECT_EQ(list->geometry(), QRect(170, 17, 70, 283));
    // Positions count from the button, which moved with the boundary; the x
    // last seen changes nothing.
    mouse(QEvent::MouseMove, -10);
    mouse(QEvent::MouseMove, -10);
    mouse(QEvent::MouseButtonRelease, -10);
    EXPECT_EQ(userListWidth(1), 90);
    tabs->select(2);
    button->layOut(view, list);
    EXPECT_EQ(list->geometry(), QRect(180, 17, 60, 283));

    button->show();
    const QImage up = button->grab().toImage();
    // The base picture's corners are clear: what meets there shows.
    EXPECT_EQ(up.pixelColor(0, 0), qcolour(0x00FF00));
    button->setDown(true);
    EXPECT_NE(button->grab().toImage().pixelColor(4, 16), up.pixelColor(4, 16));
}

class DrawnButtonTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

// The picture's columns tell their x: 8 left-cap columns, a middle of 4, 8 right-cap ones.
TEST_F(DrawnButtonTest, TextureKeepsBothCapsAndStretchesTheMiddle) {
    const QImage bitmap = test::coordinatePicture(20, 2);
    for (int width : {16, 17, 90}) {  // no middle, one column, stretched
        SCOPED_TRACE(width);
        const QImage face = composeTexture(bitmap, width);
        ASSERT_EQ(face.size(), QSize(width, 2));
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

TEST_F(DrawnButtonTest, FullScreenButtonShowsItsStateAndTakesNoFocus) {
    FullScreenButton button;
    button.resize(20, 20);
    button.show();
    const QImage normal = button.grab().toImage();
    button.setFullScreenState(true);
    EXPECT_NE(button.grab().toImage(), normal);
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST_F(DrawnButtonTest, SplashSitsBelowTheMiddleWritesItsNameAndATapClosesIt) {
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
