#include "ui/widgets/slide_button.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "tests/support/fixed_metrics.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "ui/event_sounds.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

// A main window's client area laid out as the handheld's: the tab strip above
// (its tab row 17 pixels tall), a text view and a user list inside it, and the
// slide button over the boundary. Tabs: Status, #a, #b with #a selected.
class SlideButtonTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }

    void build(int scale) {
        this->scale = scale;
        tabs = std::make_unique<TabRegistry>(sounds, metrics, scale);
        tabs->dodaj_status();
        tabs->dodaj_zakladke(u"#a");
        tabs->dodaj_zakladke(u"#b");
        tabs->select(1);
        ColourArray entries{};
        OpKoloryDomyslne(entries);
        entries[kInputBackground] = 0x0000FF;     // red
        entries[kTextViewBackground] = 0x00FF00;  // green
        entries[kUserListBackground] = 0xFF0000;  // blue
        colours.set(entries);

        client = std::make_unique<QWidget>();
        client->resize(240 * scale, 320 * scale);
        strip = new QWidget(client.get());
        strip->setGeometry(0, 0, 240 * scale, 300 * scale);
        view = new QWidget(strip);
        view->setGeometry(0, 17, 100, 283 * scale);
        list = new QWidget(strip);
        list->setGeometry(100, 17, 50, 283 * scale);
        button = new SlideButton(*tabs, *strip, colours, scale, client.get());
        client->show();
    }
    int width() const { return client->width(); }
    TabRecord& record(int tab) { return *tabs->pobierz_lparam(tab); }

    void mouse(QEvent::Type type, int x, Qt::MouseButtons held) {
        const QPointF at(x, button->height() / 2);
        const Qt::MouseButton changed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, button->mapToGlobal(at), changed, held, Qt::NoModifier);
        QApplication::sendEvent(button, &event);
    }
    // Presses in the button's middle, moves by each step in turn (positions
    // relative to the button where it then stands), and releases.
    void drag(std::initializer_list<int> steps) {
        const int middle = button->width() / 2;
        mouse(QEvent::MouseButtonPress, middle, Qt::LeftButton);
        for (int step : steps) {
            mouse(QEvent::MouseMove, middle + step, Qt::LeftButton);
        }
        mouse(QEvent::MouseButtonRelease, middle, Qt::NoButton);
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
    int scale = 1;
};

TEST_F(SlideButtonTest, StartsHiddenAndLaysOutTheTabsWindows) {
    for (int s : {1, 2}) {
        SCOPED_TRACE(s);
        build(s);
        EXPECT_FALSE(button->isVisible());
        EXPECT_EQ(button->size(), QSize(20 * s, 20 * s));
        EXPECT_EQ(button->pos(), QPoint(170, 260 * s));

        button->layOut(view, list);
        const int w = 240 * s;
        const int listWidth = 60 * s;  // a new tab's width
        EXPECT_EQ(view->geometry(), QRect(0, 17, w - listWidth, 283 * s));
        EXPECT_EQ(list->geometry(), QRect(w - listWidth, 17, listWidth, 283 * s));
        // Centred on the boundary, its bottom 20 pixels (scaled) above the strip's.
        EXPECT_EQ(button->pos(), QPoint(w - listWidth - 10 * s, 300 * s - 20 * s - 20 * s));
    }
}

TEST_F(SlideButtonTest, DraggingChangesTheWidthLiveWithinTheLimits) {
    struct Case {
        int scale;
        std::initializer_list<int> steps;
        int expectedWidth;  // unscaled pixels of a 240-pixel-wide client
    };
    const Case cases[] = {
        {1, {-20}, 80},         // left: a wider list
        {1, {15, 5}, 40},       // right in two steps
        {1, {-500}, 240 - 30},  // the text view keeps 30
        {1, {500}, 30},         // the list keeps 30
        {2, {-40}, 80},         // scaled: the same drag in twice the pixels
        {2, {-1000}, 240 - 30}, {2, {1000}, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "scale " << c.scale << " expected " << c.expectedWidth);
        build(c.scale);
        button->layOut(view, list);
        QSignalSpy widths(button, &SlideButton::widthChanged);
        QSignalSpy finished(button, &SlideButton::dragFinished);
        drag(c.steps);
        const int expected = c.expectedWidth * c.scale;
        EXPECT_EQ(record(1).userListWidth, expected);
        ASSERT_FALSE(widths.isEmpty());
        EXPECT_EQ(widths.last().at(0).toInt(), expected);
        EXPECT_EQ(finished.count(), 1);
        EXPECT_EQ(view->width(), width() - expected);
        EXPECT_EQ(list->x(), width() - expected);
        EXPECT_EQ(list->width(), expected);
        EXPECT_EQ(button->x(), width() - expected - 10 * c.scale);
        EXPECT_EQ(button->pressX(), -1);
        EXPECT_EQ(button->boundaryX(), -1);
        // The other channel keeps its own width.
        EXPECT_EQ(record(2).userListWidth, 60 * c.scale);
    }
}

TEST_F(SlideButtonTest, WindowsFollowEachMoveBeforeTheRelease) {
    build(1);
    button->layOut(view, list);
    mouse(QEvent::MouseButtonPress, 10, Qt::LeftButton);
    mouse(QEvent::MouseMove, 0, Qt::LeftButton);
    EXPECT_EQ(button->boundaryX(), 170);
    EXPECT_EQ(record(1).userListWidth, 70);
    EXPECT_EQ(list->geometry(), QRect(170, 17, 70, 283));
    // Positions count from the button, which moved with the boundary.
    mouse(QEvent::MouseMove, -10, Qt::LeftButton);
    EXPECT_EQ(button->boundaryX(), 150);
    EXPECT_EQ(record(1).userListWidth, 90);
    EXPECT_EQ(view->width(), 150);
    // A move to the x last seen changes nothing.
    mouse(QEvent::MouseMove, -10, Qt::LeftButton);
    EXPECT_EQ(record(1).userListWidth, 90);
    mouse(QEvent::MouseButtonRelease, -10, Qt::NoButton);
    EXPECT_EQ(record(1).userListWidth, 90);
}

TEST_F(SlideButtonTest, ATapWithoutMovingKeepsTheWidth) {
    build(1);
    button->layOut(view, list);
    QSignalSpy widths(button, &SlideButton::widthChanged);
    QSignalSpy finished(button, &SlideButton::dragFinished);
    drag({});
    EXPECT_EQ(record(1).userListWidth, 60);
    EXPECT_TRUE(widths.isEmpty());
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(SlideButtonTest, EachChannelShowsItsOwnWidth) {
    build(1);
    button->layOut(view, list);
    drag({-40});
    ASSERT_EQ(record(1).userListWidth, 100);
    tabs->select(2);
    button->layOut(view, list);
    EXPECT_EQ(list->geometry(), QRect(180, 17, 60, 283));
    EXPECT_EQ(button->x(), 170);
    tabs->select(1);
    button->layOut(view, list);
    EXPECT_EQ(list->geometry(), QRect(140, 17, 100, 283));
    EXPECT_EQ(view->width(), 140);
}

TEST_F(SlideButtonTest, ShowsTheThreeWindowColoursAroundItsFace) {
    for (int s : {1, 2}) {
        SCOPED_TRACE(s);
        build(s);
        button->show();
        const QImage up = button->grab().toImage();
        const int last = 20 * s - 1;
        // The base picture's corners are clear: what meets there shows.
        EXPECT_EQ(up.pixelColor(0, 0), qcolour(0x00FF00));
        EXPECT_EQ(up.pixelColor(last, 0), qcolour(0xFF0000));
        EXPECT_EQ(up.pixelColor(0, last), qcolour(0x0000FF));
        EXPECT_EQ(up.pixelColor(last, last), qcolour(0x0000FF));
        // The face covers the middle.
        const QColor face = up.pixelColor(4 * s, 16 * s);
        for (Colour c : {0x00FF00u, 0xFF0000u, 0x0000FFu}) {
            EXPECT_NE(face, qcolour(c));
        }
        button->setDown(true);
        const QImage down = button->grab().toImage();
        EXPECT_NE(down.pixelColor(4 * s, 16 * s), face);
        EXPECT_EQ(down.pixelColor(0, 0), qcolour(0x00FF00));
    }
}

}  // namespace
}  // namespace kolu
