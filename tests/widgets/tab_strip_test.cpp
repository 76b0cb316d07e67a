#include "ui/widgets/tab_strip.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <memory>

#include "tests/support/fixed_metrics.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/support/settings_env.h"
#include "ui/event_sounds.h"

namespace kolu {
namespace {

constexpr Colour kRed = 0x0000FF;

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

// A registry with the status tab, a channel and a query, and a strip over it.
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

TEST_F(TabStripTest, TabsFollowTheRegistry) {
    makeStrip();
    QSignalSpy added(strip.get(), &TabStrip::tabAdded);
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
    tabs.usun_wszystkie();
    EXPECT_EQ(titles(), QStringList{"Status"});
}

TEST_F(TabStripTest, TapsAndTheRegistrySelectAndShowTabsAndHandTheFocusBack) {
    makeStrip();
    QSignalSpy shown(strip.get(), &TabStrip::tabShown);
    QSignalSpy focus(strip.get(), &TabStrip::focusInputRequested);
    clickTab(2);
    EXPECT_EQ(tabs.selected(), 2);
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown[0][0].toInt(), 2);
    // Tapping the selected tab shows nothing new but still hands the focus back.
    focus.clear();
    clickTab(2);
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(focus.count(), 1);

    EXPECT_TRUE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));
    EXPECT_EQ(strip->labelRow()->currentIndex(), 1);
    EXPECT_EQ(shown.count(), 2);
    tabs.usun_zakladke(1);  // removing the shown tab goes back to the status tab
    EXPECT_EQ(strip->labelRow()->currentIndex(), 0);
    EXPECT_EQ(shown.last()[0].toInt(), 0);
}

TEST_F(TabStripTest, HiddenTabsShowTheirActivityColourUntilDrawnSelected) {
    makeStrip();
    const QColor red(255, 0, 0), black(0, 0, 0);
    tabs.setActivity(1, kRed);
    tabs.setActivity(0, kRed);
    const QImage image = shot();
    EXPECT_GT(countNear(image, strip->tabRect(1), red), 0);
    EXPECT_EQ(countNear(image, strip->tabRect(1), black, 60), 0);
    EXPECT_GT(countNear(image, strip->tabRect(2), black, 60), 0);
    EXPECT_EQ(countNear(image, strip->tabRect(2), red), 0);
    // The selected tab's mark goes as it is drawn.
    EXPECT_EQ(countNear(image, strip->tabRect(0), red), 0);
    EXPECT_EQ(tabs.pobierz_lparam(0)->activity, 0u);
    EXPECT_EQ(tabs.pobierz_lparam(1)->activity, kRed);

    clickTab(1);
    const QImage seen = shot();
    EXPECT_EQ(tabs.pobierz_lparam(1)->activity, 0u);
    EXPECT_EQ(countNear(seen, strip->tabRect(1), red), 0);
}

// Tabs are composed from the pictures at unscaled size and stretched onto the
// label; the row is the label font's height + 4.
TEST_F(TabStripTest, TabsAreComposedFromThePicturesAndStretched) {
    makeStrip(2);
    ASSERT_EQ(strip->labelRowHeight(), 13 * 2 + 4);
    const QImage image = shot();
    const QImage& selected = strip->selectedPicture();
    const QImage& other = strip->otherPicture();
    EXPECT_EQ(selected, QImage(":/ui/tab_selected.bmp").convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(other, QImage(":/ui/tab.bmp").convertToFormat(QImage::Format_RGB32));
    for (int index = 0; index < 3; ++index) {
        const QImage& picture = index == 0 ? selected : other;
        const QRect rect = strip->tabRect(index);
        // Row 15 of the 30 shows picture row 10; the outer columns are the caps' own.
        EXPECT_EQ(image.pixel(rect.left(), rect.top() + 15), picture.pixel(0, 10)) << index;
        EXPECT_EQ(image.pixel(rect.left() + 6, rect.top() + 15), picture.pixel(3, 10)) << index;
        EXPECT_EQ(image.pixel(rect.right(), rect.top() + 15), picture.pixel(19, 10)) << index;
    }
    // Past the last tab: the strip's colour over the base line.
    const int x = strip->tabRect(2).right() + 10;
    EXPECT_EQ(image.pixel(x, 1), other.pixel(0, 0));
    EXPECT_EQ(image.pixel(x, strip->labelRowHeight() - 1), other.pixel(10, 19));
}

}  // namespace
}  // namespace kolu
