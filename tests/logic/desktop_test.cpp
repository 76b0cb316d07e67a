// The desktop rules without a desktop: the scale factor, a remembered window on the
// screens there are now, and which lines become notifications.
#include <gtest/gtest.h>

#include "tests/support/settings_env.h"
#include "ui/desktop_alerts.h"
#include "ui/display_scale.h"

namespace kolu {
namespace {

TEST(DisplayScale, ComesFromTheScreensDpiExceptOnAHandheldSizedScreen) {
    const ScreenRect desktop{0, 0, 1920, 1080};
    EXPECT_EQ(scaleFactorFor(96, desktop, 480, 640), 1);
    EXPECT_EQ(scaleFactorFor(192, desktop, 480, 640), 2);
    EXPECT_EQ(scaleFactorFor(144, desktop, 800, 600), 2);
    EXPECT_EQ(scaleFactorFor(72, desktop, 800, 600), 1);
    EXPECT_EQ(scaleFactorFor(192, desktop, 800, 600, 100), 1);  // the toolkit scales instead
    // The handheld's rule on its own screens, whatever their DPI.
    EXPECT_EQ(scaleFactorFor(96, {0, 0, 480, 640}, 480, 640), 2);
    EXPECT_EQ(scaleFactorFor(192, {0, 0, 240, 320}, 240, 320), 1);
    EXPECT_EQ(scaleFactorFor(96, {0, 0, 640, 480}, 640, 480), 2);
    EXPECT_EQ(fixedTextScale(150), 1.5);
    EXPECT_EQ(fixedTextScale(0), 0.0);
    EXPECT_EQ(fixedTextScale(123), 0.0);
}

TEST(DisplayScale, ARememberedWindowLandsWhollyOnAScreenThatIsStillThere) {
    const std::vector<ScreenRect> one{{0, 0, 1280, 720}};
    // It stood on a right-hand screen that is gone, bigger than what is left.
    EXPECT_EQ(fitOnScreens({2000, 100, 1600, 900}, one), (ScreenRect{0, 0, 1280, 720}));
    // Its screen shrank: it keeps its size and moves in.
    EXPECT_EQ(fitOnScreens({1000, 500, 400, 300}, one), (ScreenRect{880, 420, 400, 300}));
    // Mostly on the second screen: it stays there.
    const std::vector<ScreenRect> two{{0, 0, 1280, 720}, {1280, 0, 1920, 1080}};
    EXPECT_EQ(fitOnScreens({1200, 50, 500, 400}, two), (ScreenRect{1280, 50, 500, 400}));
}

class DesktopAlertsTest : public ::testing::Test {
  protected:
    void SetUp() override { env.install(); }
    std::optional<DesktopNotice> arrive(Attention kind, std::u16string_view tab, bool active,
                                        std::u16string_view line = u"<ann> kolu: hi") {
        return alerts.lineArrived(kind, tab, line, active, u"#shown");
    }
    test::SettingsEnv env;
    DesktopAlerts alerts{env.settings, env.clock};
};

TEST_F(DesktopAlertsTest, OnlyInTheBackgroundAtMostOncePerTabInAWhileAndPerKindSwitch) {
    EXPECT_FALSE(arrive(Attention::Highlight, u"#a", true));
    const std::optional<DesktopNotice> first = arrive(Attention::Highlight, u"#a", false);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->title, u"#a");
    EXPECT_FALSE(arrive(Attention::PrivateMessage, u"#A", false));
    EXPECT_TRUE(arrive(Attention::Highlight, u"#b", false));
    env.clock.ticks += DesktopAlerts::kTabGapMs;
    EXPECT_TRUE(arrive(Attention::Highlight, u"#a", false));

    env.settings.RegZapiszLONG(u"ntf_priv", 0);
    EXPECT_FALSE(arrive(Attention::PrivateMessage, u"ann", false));
    const std::optional<DesktopNotice> arrival =
        arrive(Attention::NotifyArrival, u"", false, u"*** ann is on IRC");
    ASSERT_TRUE(arrival);
    EXPECT_EQ(arrival->title, u"Status");
}

TEST_F(DesktopAlertsTest, TheBodyIsThePlainLineCutAndTheTitleCountsUnreadTabs) {
    const std::u16string longLine =
        u"\x02<ann>\x02 \x03"
        u"4" +
        std::u16string(300, u'x');
    const std::optional<DesktopNotice> notice =
        arrive(Attention::Highlight, u"#a", false, longLine);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->body,
              u"<ann> " + std::u16string(DesktopAlerts::kBodyLimit - 6, u'x') + u"...");

    EXPECT_EQ(alerts.windowTitle(u"#shown"), u"#shown (1 unread) - Kolu");
    arrive(Attention::Highlight, u"#shown", true);  // seen as it came
    arrive(Attention::NotifyArrival, u"", false);   // not a highlight
    EXPECT_EQ(alerts.unreadCount(), 1u);
    alerts.tabSeen(u"#A");
    EXPECT_EQ(alerts.windowTitle(u"#shown"), u"Kolu");
}

}  // namespace
}  // namespace kolu
