#include "ui/widgets/tab_strip.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <cmath>
#include <memory>

#include "tests/support/fixed_metrics.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/support/settings_env.h"
#include "ui/event_sounds.h"

namespace kolu {
namespace {

constexpr Colour kRed = 0x0000FF;

bool near(QColor pixel, QColor expected, int tolerance) {
    return std::abs(pixel.red() - expected.red()) <= tolerance &&
           std::abs(pixel.green() - expected.green()) <= tolerance &&
           std::abs(pixel.blue() - expected.blue()) <= tolerance;
}

// Pixels inside `rect` of `image` within `tolerance` of `colour` in every channel.
int countNear(const QImage& image, const QRect& rect, QColor colour, int tolerance = 40) {
    int found = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            found += near(image.pixelColor(x, y), colour, tolerance) ? 1 : 0;
        }
    }
    return found;
}

// A registry with the status tab, a channel and a query, and a strip over it.
class TabStripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        tabs.dodaj_status();
        tabs.dodaj_zakladke(u"#kolu");
        tabs.dodaj_zakladke(u"alice");
    }

    void makeStrip(int scale = 1, bool vga = false) {
        strip = std::make_unique<TabStrip>(tabs);
        strip->setScale(scale, vga);
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

TEST_F(TabStripTest, TabsFollowTheRegistry) {
    makeStrip();
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "alice"}));

    QSignalSpy added(strip.get(), &TabStrip::tabAdded);
    tabs.dodaj_zakladke(u"#KOLU");  // the same channel: nothing new
    tabs.dodaj_zakladke(u"&local");
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "alice", "&local"}));
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(added[0][0].toInt(), 3);

    // The owner hears of a removal while the tab's record still exists.
    std::u16string removedName;
    bool hadRecord = false;
    QObject::connect(strip.get(), &TabStrip::tabAboutToBeRemoved, [&](int index) {
        removedName = tabs.pobierz_nazwe(index, 100);
        hadRecord = tabs.pobierz_lparam(index) != nullptr;
    });
    tabs.usun_zakladkeT(u"ALICE");
    EXPECT_EQ(removedName, u"alice");
    EXPECT_TRUE(hadRecord);
    EXPECT_EQ(titles(), (QStringList{"Status", "#kolu", "&local"}));
    EXPECT_EQ(strip->labelRow()->currentIndex(), 0);

    tabs.usun_wszystkie();
    EXPECT_EQ(titles(), QStringList{"Status"});
}

TEST_F(TabStripTest, TappingATabSelectsAndShowsItAndAsksForTheInputFocus) {
    makeStrip();
    QSignalSpy shown(strip.get(), &TabStrip::tabShown);
    QSignalSpy focus(strip.get(), &TabStrip::focusInputRequested);
    clickTab(2);
    EXPECT_EQ(tabs.selected(), 2);
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown[0][0].toInt(), 2);
    EXPECT_GE(focus.count(), 1);

    // Tapping the selected tab shows nothing new but still hands the focus back.
    focus.clear();
    clickTab(2);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(focus.count(), 1);
}

TEST_F(TabStripTest, SelectionsMadeThroughTheRegistryMoveTheStrip) {
    makeStrip();
    QSignalSpy shown(strip.get(), &TabStrip::tabShown);
    QSignalSpy focus(strip.get(), &TabStrip::focusInputRequested);
    EXPECT_TRUE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));
    EXPECT_EQ(strip->labelRow()->currentIndex(), 1);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(focus.count(), 1);

    tabs.select(2);
    tabs.ZmienZakladke();
    EXPECT_EQ(strip->labelRow()->currentIndex(), 2);
    tabs.usun_zakladke(2);  // removing the shown tab goes back to the status tab
    EXPECT_EQ(strip->labelRow()->currentIndex(), 0);
    EXPECT_EQ(tabs.selected(), 0);
    EXPECT_EQ(shown.last()[0].toInt(), 0);
}

TEST_F(TabStripTest, HiddenTabsShowTheirActivityColour) {
    makeStrip();
    const QColor red(255, 0, 0), black(0, 0, 0);
    EXPECT_EQ(countNear(shot(), strip->tabRect(1), red), 0);

    tabs.setActivity(1, kRed);
    const QImage image = shot();
    EXPECT_GT(countNear(image, strip->tabRect(1), red), 0);
    EXPECT_EQ(countNear(image, strip->tabRect(1), black, 60), 0);
    // Tabs without activity keep black labels.
    EXPECT_GT(countNear(image, strip->tabRect(2), black, 60), 0);
    EXPECT_EQ(countNear(image, strip->tabRect(2), red), 0);
    EXPECT_EQ(tabs.pobierz_lparam(1)->activity, kRed);  // still unseen

    // Once selected and drawn, the mark is gone.
    clickTab(1);
    const QImage seen = shot();
    EXPECT_EQ(tabs.pobierz_lparam(1)->activity, 0u);
    EXPECT_EQ(countNear(seen, strip->tabRect(1), red), 0);
    EXPECT_GT(countNear(seen, strip->tabRect(1), black, 60), 0);
}

TEST_F(TabStripTest, DrawingTheSelectedTabClearsItsMark) {
    makeStrip();
    tabs.setActivity(0, kRed);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, kRed);
    const QImage image = shot();
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);
    EXPECT_EQ(countNear(image, strip->tabRect(0), QColor(255, 0, 0)), 0);
}

TEST_F(TabStripTest, RightClickAsksForTheMenuOfTheTabUnderIt) {
    makeStrip();
    QSignalSpy menu(strip.get(), &TabStrip::contextMenuRequested);
    const QPoint onTab = strip->tabRect(1).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, onTab, strip->mapToGlobal(onTab));
    QApplication::sendEvent(strip->labelRow(), &event);
    const QPoint pastTabs(strip->tabRect(2).right() + 20, 5);
    QContextMenuEvent empty(QContextMenuEvent::Mouse, pastTabs, strip->mapToGlobal(pastTabs));
    QApplication::sendEvent(strip->labelRow(), &empty);
    ASSERT_EQ(menu.count(), 2);
    EXPECT_EQ(menu[0][0].toInt(), 1);
    EXPECT_EQ(menu[0][1].toPoint(), strip->mapToGlobal(onTab));
    EXPECT_EQ(menu[1][0].toInt(), -1);
}

TEST(TabPictures, AreEmbeddedAndLaidOutAsCapsAndMiddle) {
    test::application();
    for (const char* path : {":/ui/tab_selected.bmp", ":/ui/tab.bmp"}) {
        SCOPED_TRACE(path);
        const QImage picture =
            QImage(QString::fromLatin1(path)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), QSize(TabStrip::kPictureSize, TabStrip::kPictureSize));
        // The middle columns are alike, so stretching them shows no seam.
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 9; x < 12; ++x) {
                EXPECT_EQ(picture.pixel(x, y), picture.pixel(8, y)) << x << "," << y;
            }
        }
    }
}

constexpr int kPicture = TabStrip::kPictureSize;

// The source pixel a nearest-pixel stretch puts at pixel `d` of the `to`-pixel
// line, or -1 when `d` lies near the edge between two source pixels.
int stretchedFrom(int d, int from, int to) {
    const double s = (d + 0.5) * from / to;
    const double fraction = s - std::floor(s);
    return fraction > 0.2 && fraction < 0.8 ? static_cast<int>(s) : -1;
}

// A pixel of a `to`-pixel line that a nearest-pixel stretch of a `from`-pixel
// line fills from pixel `source`, away from the edges between source pixels;
// -1 when there is none.
int stretchedTo(int source, int from, int to) {
    for (int d = 0; d < to; ++d) {
        if (stretchedFrom(d, from, to) == source) {
            return d;
        }
    }
    return -1;
}

struct ScaleCase {
    int scale;
    bool vga;
    int factor;  // what sizes are multiplied by
};

class TabStripScaleTest : public TabStripTest, public ::testing::WithParamInterface<ScaleCase> {};

// Tabs are composed from the pictures at unscaled size (unless VGA) and stretched
// onto the label; the row is the label font's height + 4.
TEST_P(TabStripScaleTest, TabsAreComposedFromThePicturesAndStretched) {
    const ScaleCase c = GetParam();
    makeStrip(c.scale, c.vga);
    EXPECT_EQ(strip->fontSize(), 13 * c.factor);
    EXPECT_EQ(strip->labelRowHeight(), 13 * c.factor + 4);
    EXPECT_EQ(strip->labelRow()->geometry(), QRect(0, 0, strip->width(), 13 * c.factor + 4));

    const QImage image = shot();
    const QImage& selected = strip->selectedPicture();
    const QImage& other = strip->otherPicture();
    EXPECT_EQ(selected, QImage(":/ui/tab_selected.bmp").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(other, QImage(":/ui/tab.bmp").convertToFormat(QImage::Format_RGB32));
    ASSERT_NE(selected.pixel(3, 10), other.pixel(3, 10));
    const int divisor = c.vga ? 1 : c.scale;
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const QImage& picture = index == 0 ? selected : other;
        const QRect rect = strip->tabRect(index);
        const int w = rect.width(), h = rect.height();
        const int composed = w / divisor;
        // Every row of the label (where the stretch is unambiguous) shows the
        // caps' columns: composed column `to` holds picture column `from`.
        const std::pair<int, int> columns[] = {
            {0, 0}, {1, 1}, {3, 3}, {composed - 4, 16}, {composed - 2, 18}, {composed - 1, 19}};
        int checked = 0;
        for (int y = 0; y < h; ++y) {
            const int row = stretchedFrom(y, kPicture, h);
            for (const auto& [to, from] : columns) {
                const int x = stretchedTo(to, composed, w);
                if (row < 0 || x < 0) {
                    continue;
                }
                EXPECT_EQ(image.pixel(rect.left() + x, rect.top() + y), picture.pixel(from, row))
                    << "column " << from << " row " << row;
                ++checked;
            }
        }
        EXPECT_GT(checked, 20);
    }
    // Past the last tab: the strip's colour over the base line.
    const int x = strip->tabRect(2).right() + 10;
    EXPECT_EQ(image.pixel(x, 1), other.pixel(0, 0));
    EXPECT_EQ(image.pixel(x, strip->labelRowHeight() - 1), other.pixel(10, 19));
}

INSTANTIATE_TEST_SUITE_P(Scales, TabStripScaleTest,
                         ::testing::Values(ScaleCase{1, false, 1}, ScaleCase{2, false, 2},
                                           ScaleCase{2, true, 1}, ScaleCase{3, false, 3}));

}  // namespace
}  // namespace kolu
