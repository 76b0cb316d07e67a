#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sound.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/settings_env.h"
#include "ui/event_sounds.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

class RecordingSound final : public SoundPlayer {
  public:
    std::vector<std::string> played;
    int playFileAsync(const std::string& path) override {
        played.push_back(path);
        return 0;
    }
};

// Records every notification as text, checking what the registry holds at the time.
class RecordingTabObserver final : public TabObserver {
  public:
    explicit RecordingTabObserver(TabRegistry& tabs) : m_tabs(tabs) {}
    std::vector<std::string> events;
    void tabAdded(int index) override { events.push_back("added " + std::to_string(index)); }
    void tabRemoved(int index) override {
        // The record is still there while the observer lets go of its windows.
        const bool alive = m_tabs.pobierz_lparam(index) != nullptr;
        events.push_back("removed " + std::to_string(index) + (alive ? "" : " (gone)"));
    }
    void selectionChanged(int index) override {
        events.push_back("shown " + std::to_string(index));
    }
    void labelColourChanged(int index) override {
        events.push_back("label " + std::to_string(index));
    }
    void focusInputRequested() override { events.push_back("focus"); }

  private:
    TabRegistry& m_tabs;
};

class TabRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"snd_enable", 1);
        env.putString(kSoundsKey, u"query", u"query.wav");
        tabs.setObserver(&observer);
    }
    // Status, #chan, nick, &local.
    void addFour() {
        tabs.dodaj_status();
        tabs.dodaj_zakladke(u"#chan");
        tabs.dodaj_zakladke(u"nick");
        tabs.dodaj_zakladke(u"&local");
        observer.events.clear();
        sound.played.clear();
    }

    test::SettingsEnv env;
    RecordingSound sound;
    EventSounds sounds{env.settings, sound, env.log};
    test::FixedMetrics metrics;
    TabRegistry tabs{sounds, metrics};
    RecordingTabObserver observer{tabs};
};

TEST_F(TabRegistryTest, TheStatusTabComesFirstSelectedAndSilent) {
    EXPECT_EQ(tabs.count(), 0);
    EXPECT_EQ(tabs.selected(), -1);
    EXPECT_EQ(tabs.dodaj_status(), 0);
    EXPECT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.selected(), 0);
    EXPECT_EQ(tabs.pobierz_nazwe(0, 12), u"Status");
    EXPECT_TRUE(sound.played.empty());
    EXPECT_EQ(observer.events, (std::vector<std::string>{"added 0"}));
}

TEST_F(TabRegistryTest, TabKindsFollowTheFirstCharacterOfTheName) {
    tabs.dodaj_status();
    EXPECT_EQ(tabs.dodaj_zakladke(u"#chan"), 1);
    EXPECT_EQ(tabs.dodaj_zakladke(u"&local"), 2);
    EXPECT_TRUE(sound.played.empty());
    EXPECT_EQ(tabs.dodaj_zakladke(u"nick"), 3);
    EXPECT_EQ(sound.played, (std::vector<std::string>{env.dir.file("query.wav")}));

    EXPECT_NE(tabs.pobierz_lparam(1)->userList, nullptr);
    EXPECT_NE(tabs.pobierz_lparam(2)->userList, nullptr);
    EXPECT_EQ(tabs.pobierz_lparam(3)->userList, nullptr);
    EXPECT_EQ(tabs.pobierz_lparam(0)->userList, nullptr);
    const TabRecord& record = *tabs.pobierz_lparam(3);
    EXPECT_EQ(record.nameLength, 4u);
    EXPECT_EQ(record.activity, 0u);
    EXPECT_EQ(record.userListWidth, 60);
    // Adding a tab doesn't select it.
    EXPECT_EQ(tabs.selected(), 0);
}

TEST_F(TabRegistryTest, UserListWidthScales) {
    TabRegistry scaled(sounds, metrics, 2);
    scaled.dodaj_status();
    EXPECT_EQ(scaled.pobierz_lparam(0)->userListWidth, 120);
}

TEST_F(TabRegistryTest, AddingAnExistingNameReturnsItsIndexAndCreatesNothing) {
    addFour();
    EXPECT_EQ(tabs.dodaj_zakladke(u"#Chan"), 1);
    EXPECT_EQ(tabs.dodaj_zakladke(u"NICK"), 2);
    EXPECT_EQ(tabs.dodaj_zakladke(u""), 0);
    EXPECT_EQ(tabs.count(), 4);
    EXPECT_TRUE(sound.played.empty());
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(tabs.pobierz_nazwe(1, 5), u"#chan");  // the label keeps its first spelling
}

TEST_F(TabRegistryTest, FindingByName) {
    addFour();
    struct Case {
        std::u16string name;
        int expected;
    };
    const Case cases[] = {
        {u"", 0},       {u"Status", -1}, {u"status", -1}, {u"#chan", 1},
        {u"#CHAN", 1},  {u"#cha", -1},   {u"#chan2", -1}, {u"Nick", 2},
        {u"&LOCAL", 3}, {u"local", -1},  {u"#chan ", -1}, {u" #chan", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tabs.znajdz_zakladke(c.name), c.expected) << toUtf8(c.name);
    }
    // A later tab that happens to be called "Status" is found like any other.
    EXPECT_EQ(tabs.dodaj_zakladke(u"Status"), 4);
    EXPECT_EQ(tabs.znajdz_zakladke(u"STATUS"), 4);
}

TEST_F(TabRegistryTest, FindingInAnEmptyRegistry) {
    EXPECT_EQ(tabs.znajdz_zakladke(u"x"), -1);
    EXPECT_EQ(tabs.znajdz_zakladke(u""), 0);
    // The empty name means the status tab, even before it exists: nothing is made.
    EXPECT_EQ(tabs.dodaj_zakladke(u""), 0);
    EXPECT_EQ(tabs.count(), 0);
    EXPECT_EQ(tabs.pobierz_hwndtxt(u""), nullptr);
}

TEST_F(TabRegistryTest, ReadingNamesAndWindows) {
    addFour();
    EXPECT_EQ(tabs.pobierz_nazwe(1, 3), u"#ch");
    EXPECT_EQ(tabs.pobierz_nazwe(1, 100), u"#chan");
    EXPECT_EQ(tabs.pobierz_nazwe(1, 0), u"");
    EXPECT_EQ(tabs.pobierz_nazwebiez(), u"Status");
    ASSERT_TRUE(tabs.select(3));
    EXPECT_EQ(tabs.pobierz_nazwebiez(), u"&local");

    EXPECT_EQ(tabs.pobierz_hwndtxt(u"#CHAN"), &tabs.pobierz_lparam(1)->text);
    EXPECT_EQ(tabs.pobierz_hwndtxt(u""), tabs.pobierz_hwndtxtbiez(0));
    EXPECT_EQ(tabs.pobierz_hwndtxt(u"nobody"), nullptr);
    EXPECT_EQ(tabs.pobierz_hwndlist(u"#chan"), tabs.pobierz_lparam(1)->userList.get());
    EXPECT_EQ(tabs.pobierz_hwndlist(u"nick"), nullptr);
    EXPECT_EQ(tabs.pobierz_hwndlist(u"nobody"), nullptr);
}

TEST_F(TabRegistryTest, BadIndexesAreHarmless) {
    addFour();
    for (int index : {-1, 4, 1000}) {
        EXPECT_EQ(tabs.pobierz_lparam(index), nullptr);
        EXPECT_EQ(tabs.pobierz_hwndtxtbiez(index), nullptr);
        EXPECT_EQ(tabs.pobierz_nazwe(index, 10), u"");
        EXPECT_FALSE(tabs.select(index));
        EXPECT_EQ(tabs.usun_zakladke(index), 1);
        tabs.setActivity(index, 0xFF);
        EXPECT_EQ(tabs.labelColourForPaint(index), 0u);
    }
    // The status tab stays for the client's life.
    EXPECT_EQ(tabs.usun_zakladke(0), 1);
    EXPECT_EQ(tabs.usun_zakladkeT(u""), 1);
    EXPECT_EQ(tabs.count(), 4);
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(TabRegistryTest, RemovingAnyTabShowsTheStatusTab) {
    addFour();
    ASSERT_TRUE(tabs.select(2));
    EXPECT_EQ(tabs.usun_zakladke(1), 1);
    EXPECT_EQ(tabs.selected(), 0);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"removed 1", "shown 0"}));
    EXPECT_EQ(tabs.znajdz_zakladke(u"nick"), 1);

    observer.events.clear();
    ASSERT_TRUE(tabs.select(2));
    EXPECT_EQ(tabs.usun_zakladkeT(u"&LOCAL"), 1);
    EXPECT_EQ(tabs.selected(), 0);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"removed 2", "shown 0"}));
    EXPECT_EQ(tabs.count(), 2);

    observer.events.clear();
    EXPECT_EQ(tabs.usun_zakladkeT(u"#gone"), 1);
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(tabs.count(), 2);
}

TEST_F(TabRegistryTest, RecordsStayPutWhenOtherTabsGo) {
    addFour();
    TextLines* local = tabs.pobierz_hwndtxt(u"&local");
    TabRecord* record = tabs.pobierz_lparam(3);
    tabs.usun_zakladke(1);
    tabs.usun_zakladke(1);
    EXPECT_EQ(tabs.pobierz_lparam(1), record);
    local->append(u"still here", 0);
    EXPECT_EQ(tabs.pobierz_hwndtxt(u"&local")->line(0).text, u"still here");
}

TEST_F(TabRegistryTest, RemovingAllKeepsOnlyTheStatusTab) {
    addFour();
    tabs.usun_wszystkie();
    EXPECT_EQ(tabs.count(), 1);
    EXPECT_EQ(tabs.pobierz_nazwe(0, 12), u"Status");
    EXPECT_EQ(tabs.selected(), 0);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"removed 3", "shown 0", "removed 2",
                                                         "shown 0", "removed 1", "shown 0"}));
    observer.events.clear();
    tabs.usun_wszystkie();
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(TabRegistryTest, ArrowKeysMoveBetweenNeighbours) {
    addFour();
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));  // first tab
    EXPECT_TRUE(observer.events.empty());

    EXPECT_TRUE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));
    EXPECT_EQ(tabs.selected(), 1);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"shown 1", "focus"}));

    ASSERT_TRUE(tabs.select(3));
    observer.events.clear();
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));  // last tab
    EXPECT_FALSE(tabs.PrzelaczZakladke(38));                        // up arrow: not a switch
    EXPECT_FALSE(tabs.PrzelaczZakladke(0));
    EXPECT_TRUE(observer.events.empty());
    EXPECT_EQ(tabs.selected(), 3);

    EXPECT_TRUE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));
    EXPECT_EQ(tabs.selected(), 2);
}

TEST_F(TabRegistryTest, ArrowsOnAnEmptyRegistryDoNothing) {
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kRightArrow));
    EXPECT_FALSE(tabs.PrzelaczZakladke(TabRegistry::kLeftArrow));
    EXPECT_EQ(tabs.ZmienZakladke(), 1);
    EXPECT_TRUE(observer.events.empty());
}

TEST_F(TabRegistryTest, PaintingTheSelectedTabClearsItsActivity) {
    addFour();
    tabs.setActivity(2, 0x0000FF);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"label 2"}));
    EXPECT_EQ(tabs.labelColourForPaint(2), 0x0000FFu);  // hidden: keeps its mark
    EXPECT_EQ(tabs.labelColourForPaint(2), 0x0000FFu);
    ASSERT_TRUE(tabs.select(2));
    EXPECT_EQ(tabs.pobierz_lparam(2)->activity, 0x0000FFu);  // until it is painted
    EXPECT_EQ(tabs.labelColourForPaint(2), 0u);
    EXPECT_EQ(tabs.pobierz_lparam(2)->activity, 0u);
}

}  // namespace
}  // namespace kolu
