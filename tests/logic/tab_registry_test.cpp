#include <gtest/gtest.h>

#include "tests/support/session_env.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

class CountingObserver final : public TabObserver {
  public:
    int events = 0;
    void tabAdded(int) override { ++events; }
    void tabRemoved(int) override { ++events; }
    void selectionChanged(int) override { ++events; }
    void labelColourChanged(int) override { ++events; }
    void focusInputRequested() override { ++events; }
};

// Status, #chan, nick, &local.
class TabRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char16_t* name : {u"#chan", u"nick", u"&local"}) {
            tabs.dodaj_zakladke(name);
        }
        tabs.setObserver(&observer);
    }

    test::SessionEnv env;
    TabRegistry& tabs = env.session.tabs;
    CountingObserver observer;
};

TEST_F(TabRegistryTest, BadIndexesAndArrowsPastTheEndsAreHarmlessAndTheStatusTabStays) {
    for (int index : {-1, 4}) {
        EXPECT_EQ(tabs.pobierz_lparam(index), nullptr);
        EXPECT_EQ(tabs.pobierz_nazwe(index, 10), u"");
        EXPECT_FALSE(tabs.select(index));
        tabs.usun_zakladke(index);
        tabs.setActivity(index, 0xFF);
        EXPECT_EQ(tabs.labelColourForPaint(index), 0u);
    }
    tabs.usun_zakladke(0);
    tabs.usun_zakladkeT(u"");
    tabs.usun_zakladkeT(u"#gone");
    EXPECT_EQ(tabs.count(), 4);
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));
    EXPECT_EQ(observer.events, 0);
    ASSERT_TRUE(tabs.select(3));
    observer.events = 0;
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));
    EXPECT_FALSE(tabs.PrzelaczZakladke(38));  // up arrow: not a switch
    EXPECT_EQ(observer.events, 0);
}

// The views hold on to a tab's record and text while other tabs come and go.
TEST_F(TabRegistryTest, RecordsStayPutWhenOtherTabsGo) {
    TextLines* local = tabs.pobierz_hwndtxt(u"&local");
    TabRecord* record = tabs.pobierz_lparam(3);
    tabs.usun_zakladke(1);
    tabs.usun_zakladke(1);
    EXPECT_EQ(tabs.pobierz_lparam(1), record);
    EXPECT_EQ(tabs.pobierz_hwndtxt(u"&local"), local);
}

}  // namespace
}  // namespace kolu
