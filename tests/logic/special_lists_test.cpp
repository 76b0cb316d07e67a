#include <gtest/gtest.h>

#include "tests/support/settings_env.h"

namespace kolu {
namespace {

struct SearchCase {
    std::u16string_view name;
    std::u16string_view list;
    int expected;
};

class SpecialListSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SpecialListSearch, FindsWholeBlankTerminatedEntriesIgnoringCase) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(Settings::RegSpListSzukaj(c.name, c.list), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpecialListSearch,
    ::testing::Values(SearchCase{u"Bob", u"alice bob ", 1}, SearchCase{u"bob", u"alice bob", -1},
                      SearchCase{u"alice", u"alice bob ", 0},
                      SearchCase{u"ALICE", u"alice bob ", 0}, SearchCase{u"bo", u"alice bob ", -1},
                      SearchCase{u"bobby", u"alice bob ", -1}, SearchCase{u"bob", u"", -1},
                      SearchCase{u"bob", u"x  bob ", 2},
                      SearchCase{u"\u00c9mile", u"\u00e9mile ", 0}));

class SpecialListChanges : public ::testing::Test {
  protected:
    void SetUp() override { env.install(); }
    std::u16string list(std::u16string_view name = u"ignore") {
        std::u16string text;
        env.settings.RegCzytajMsg(name, text, kSpecialListSize);
        return text;
    }
    test::SettingsEnv env;
};

TEST_F(SpecialListChanges, RemoveTakesOutOnlyTheExactEntry) {
    env.putString(kSettingsKey, u"ignore", u"alice bob carol ");
    env.settings.RegSpListUsun(u"bo", u"ignore");
    EXPECT_EQ(list(), u"alice bob carol ");
    env.settings.RegSpListUsun(u"BOB", u"ignore");
    EXPECT_EQ(list(), u"alice carol ");
    env.settings.RegSpListUsun(u"carol", u"ignore");
    EXPECT_EQ(list(), u"alice ");
}

TEST_F(SpecialListChanges, AddAppendsOnceAndAlwaysSwitchesIgnoreOn) {
    env.putString(kSettingsKey, u"ignore", u"bob ");
    env.putDword(kSettingsKey, u"en_ignore", 0);
    env.settings.RegSpListDodaj(u"BOB", u"ignore");
    EXPECT_EQ(list(), u"bob ");
    EXPECT_EQ(env.settings.RegCzytajLONG(u"en_ignore"), 1);
    env.settings.RegSpListDodaj(u"carol", u"ignore");
    EXPECT_EQ(list(), u"bob carol ");
}

TEST_F(SpecialListChanges, AddStartsAMissingListAndEndsAnUnterminatedOne) {
    env.settings.RegSpListDodaj(u"dave", u"ignore");
    EXPECT_EQ(list(), u"dave ");
    env.putString(kSettingsKey, u"ignore", u"bob alice");  // edited by hand
    env.settings.RegSpListDodaj(u"dave", u"ignore");
    EXPECT_EQ(list(), u"bob alice dave ");
}

TEST_F(SpecialListChanges, AddRefusesToReachTheLimit) {
    std::u16string full(1990, u'a');
    full += u' ';  // 1991 characters
    env.putString(kSettingsKey, u"ignore", full);
    env.settings.RegSpListDodaj(u"1234567", u"ignore");  // 1991 + 8 = 1999 < 2000: fits
    EXPECT_EQ(list().size(), 1999u);
    env.settings.RegSpListDodaj(u"x", u"ignore");  // would make 2001
    EXPECT_EQ(list().size(), 1999u);
}

// A list longer than its read buffer (edited by hand) must never be replaced by
// the one entry being added.
TEST_F(SpecialListChanges, AnUnreadableListIsNotOverwritten) {
    std::u16string huge;
    for (int i = 0; i < 600; ++i) {
        huge += u"nick" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u" ";
    }
    env.putString(kSettingsKey, u"ignore", huge);
    env.settings.RegSpListDodaj(u"newcomer", u"ignore");
    env.settings.RegSpListUsun(u"nicka", u"ignore");
    std::u16string stored;
    env.settings.RegCzytajMsg(u"ignore", stored, 100000);
    EXPECT_EQ(stored, huge);
}

TEST_F(SpecialListChanges, MembershipHonoursTheEnableSwitch) {
    env.putString(kSettingsKey, u"ignore", u"alice bob ");
    env.putDword(kSettingsKey, u"en_ignore", 0);
    EXPECT_EQ(env.settings.RegSpListJest(u"bob", u"en_ignore", u"ignore"), -1);
    env.putDword(kSettingsKey, u"en_ignore", 1);
    EXPECT_EQ(env.settings.RegSpListJest(u"bob", u"en_ignore", u"ignore"), 1);
    EXPECT_EQ(env.settings.RegSpListJest(u"bob", u"", u"ignore"), 1);
}

TEST_F(SpecialListChanges, AMissingEnableSwitchCountsAsOn) {
    env.putString(kSettingsKey, u"hlights", u"kolu ");
    EXPECT_EQ(env.settings.RegSpListJest(u"Kolu", u"en_hlights", u"hlights"), 0);
}

}  // namespace
}  // namespace kolu
