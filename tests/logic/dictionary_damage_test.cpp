// A damaged dict.dat is read at every keystroke: each kind of damage must end the
// walk, be reported once, and leave every readable word readable after an add.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "completion/dictionary.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/logic/dictionary_test_support.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using Rows = std::vector<std::u16string>;

// "/join", "/jab", "/jump": j@1024 o@1029 i n 0@1044, a@1049 b 0@1059, u@1064 m p 0@1079.
std::string base() {
    return test::buildDictionary({u"/join", u"/jab", u"/jump"});
}

struct DamageCase {
    const char* name;
    std::function<void(std::string&)> damage;
    Rows rowsForSlashJ;    // lookup "/j", maximum 5
    const char* reported;  // the text of the one report
};

void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.name;
}

class DictionaryDamage : public ::testing::TestWithParam<DamageCase> {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
        env.putString(kSettingsKey, u"dictpath", fromUtf8(env.dir.path()));
        std::string bytes = base();
        GetParam().damage(bytes);
        ASSERT_EQ(writeFileAtomically(path(), bytes), 0);
    }
    std::string path() const { return env.dir.file("dict.dat"); }
    std::string contents() const {
        std::string bytes;
        readWholeFile(path(), bytes);
        return bytes;
    }
    std::size_t reports() const {
        const std::string log = env.decodedLog();
        std::size_t n = 0;
        for (auto at = log.find("\t\tdict.dat "); at != log.npos;
             at = log.find("\t\tdict.dat ", at + 1)) {
            ++n;
        }
        return n;
    }

    test::SettingsEnv env;
    Dictionary dictionary{env.settings, env.log};
};

TEST_P(DictionaryDamage, WalksEndReportOnceAndAddingLosesNoWord) {
    const DamageCase& c = GetParam();
    for (int i = 0; i < 3; ++i) {
        const WordLookup result = dictionary.lookup(u"/j", 5);
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(result.words, c.rowsForSlashJ);
    }
    for (std::u16string_view typed : {u"/", u"/jo", u"/ju", u"/jumpy", u"q", u"qq"}) {
        for (int maximum : {1, 5}) {
            for (const std::u16string& row : dictionary.lookup(typed, maximum).words) {
                EXPECT_TRUE(row.starts_with(typed) && row != typed) << toUtf8(row);
            }
        }
    }
    EXPECT_EQ(reports(), 1u) << env.decodedLog();
    EXPECT_NE(env.decodedLog().find(c.reported), std::string::npos) << env.decodedLog();

    const std::set<std::u16string> before = test::referenceWords(contents());
    dictionary.DbDodajSlowo(u"/jazz");
    dictionary.DbDodajSlowo(u"qz");
    const std::string after = contents();
    std::set<std::u16string> words = test::referenceWords(after);
    for (const std::u16string& word : before) {
        EXPECT_TRUE(words.contains(word)) << "lost " << toUtf8(word);
    }
    EXPECT_TRUE(words.contains(u"/jazz"));
    EXPECT_TRUE(words.contains(u"qz"));
    // The file is whole records again, ending in a word's end.
    ASSERT_GE(after.size(), kDictHeaderBytes + kDictRecordBytes);
    EXPECT_EQ((after.size() - kDictHeaderBytes) % kDictRecordBytes, 0u);
    EXPECT_EQ(after.back(), '\0');
    const Rows rows = dictionary.lookup(u"/ja", 5).words;
    EXPECT_NE(std::find(rows.begin(), rows.end(), u"/jazz"), rows.end());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DictionaryDamage,
    ::testing::Values(DamageCase{"EndsInsideARecord",
                                 [](std::string& b) { b.resize(1082); },
                                 {u"/jab", u"/join"},
                                 "dict.dat word without an end"},
                      DamageCase{"EndsBeforeATerminator",
                                 [](std::string& b) { b.resize(1079); },
                                 {u"/jab", u"/join"},
                                 "dict.dat word without an end"},
                      DamageCase{"ShorterThanTheHeader",
                                 [](std::string& b) { b.resize(600); },
                                 {},
                                 "dict.dat shorter than its header"},
                      DamageCase{"SlotPastTheEnd",
                                 [](std::string& b) { test::store32At(b, 4 * '/', 5000); },
                                 {},
                                 "dict.dat link outside the records"},
                      DamageCase{"SlotIntoTheHeader",
                                 [](std::string& b) { test::store32At(b, 4 * '/', 16); },
                                 {},
                                 "dict.dat link outside the records"},
                      DamageCase{"SlotIntoARecord",
                                 [](std::string& b) { test::store32At(b, 4 * '/', 1026); },
                                 {},
                                 "dict.dat link into a record"},
                      DamageCase{"NextPastTheEnd",
                                 [](std::string& b) { test::store32At(b, 1029, 99999); },
                                 {u"/join"},
                                 "dict.dat link outside the records"},
                      DamageCase{"NextIntoARecord",
                                 [](std::string& b) { test::store32At(b, 1029, 1051); },
                                 {u"/join"},
                                 "dict.dat link into a record"},
                      DamageCase{"NextBackIntoACycle",
                                 [](std::string& b) { test::store32At(b, 1049, 1029); },
                                 {u"/jab", u"/join"},
                                 "dict.dat link pointing back"},
                      DamageCase{"NextToItself",
                                 [](std::string& b) { test::store32At(b, 1029, 1029); },
                                 {u"/join"},
                                 "dict.dat link pointing back"},
                      DamageCase{"NoWordEnds",
                                 [](std::string& b) {
                                     for (std::size_t at = kDictHeaderBytes + 4; at < b.size();
                                          at += 5) {
                                         if (b[at] == 0) {
                                             b[at] = 'z';
                                         }
                                     }
                                 },
                                 {},
                                 "dict.dat word without an end"},
                      DamageCase{"AWordLongerThanAnyTaught",
                                 [](std::string& b) {
                                     test::store32At(b, 4 * 'q',
                                                     static_cast<std::uint32_t>(b.size()));
                                     for (int i = 0; i < 300; ++i) {
                                         b.append(4, '\0');
                                         b.push_back('q');
                                     }
                                     b.append(5, '\0');
                                 },
                                 {u"/jump", u"/jab", u"/join"},
                                 "dict.dat word without an end"}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(DictionaryDamageReports, AreRepeatedOnlyAfterTheFileChanged) {
    test::SettingsEnv env;
    env.install();
    env.putDword(kSettingsKey, u"debug", 1);
    env.putString(kSettingsKey, u"dictpath", fromUtf8(env.dir.path()));
    std::string bytes = base();
    test::store32At(bytes, 1049, 1029);  // 'a' links back to 'o'
    ASSERT_EQ(writeFileAtomically(env.dir.file("dict.dat"), bytes), 0);
    Dictionary dictionary(env.settings, env.log);
    const auto reports = [&] {
        const std::string log = env.decodedLog();
        std::size_t n = 0;
        for (auto at = log.find("link pointing back"); at != log.npos;
             at = log.find("link pointing back", at + 1)) {
            ++n;
        }
        return n;
    };
    for (int i = 0; i < 5; ++i) {
        dictionary.lookup(u"/j", 5);
    }
    EXPECT_EQ(reports(), 1u);
    dictionary.DbDodajSlowo(u"/xy");  // elsewhere in the tree: the damage stays
    dictionary.lookup(u"/j", 5);
    dictionary.lookup(u"/j", 5);
    EXPECT_EQ(reports(), 2u);
}

}  // namespace
}  // namespace kolu
