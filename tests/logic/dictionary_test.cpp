// dict.dat, the word list behind the whisper, and the words offered for what was typed.
#include "completion/dictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "completion/word_listing.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/dictionary_model.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using namespace std::string_view_literals;
using test::referenceWords;
using Words = std::set<std::u16string>;
using Rows = std::vector<std::u16string>;

// Slot '/' leading to records from 1024 holding `chars`, with the given (record
// number, offset) links only: files written by hand, to compare byte for byte.
std::string slashWords(std::string_view chars, std::map<int, std::uint32_t> links) {
    std::string bytes = test::emptyDictionary();
    test::store32At(bytes, 4u * '/', 1024);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        bytes += std::string(4, '\0') + chars[i];
        test::store32At(bytes, 1024 + 5 * i, links.contains(i) ? links[i] : 0);
    }
    return bytes;
}

// "/join", "/jab", "/jump": j@1024 o@1029 i n 0@1044, a@1049 b 0@1059, u@1064 m p 0@1079.
const std::string kJoinJabJump = test::buildDictionary({u"/join", u"/jab", u"/jump"});

class DictionaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
        env.putString(kSettingsKey, u"dictpath", fromUtf8(env.dir.path()));
    }

    test::SettingsEnv env;
    Dictionary dictionary{env.settings, env.log};
};

TEST_F(DictionaryTest, WordsAreStoredByteForByteWithAlternativesLinkedAtTheChainsEndAndTaught) {
    const std::pair<std::vector<std::u16string_view>, std::string> cases[] = {
        {{u"/join", u"/jab", u"/jump"}, slashWords("join\0ab\0ump\0"sv, {{1, 1049}, {5, 1064}})},
        {{u"/whois", u"/who"}, slashWords("whois\0\0"sv, {{3, 1054}})},  // linked from 'i'
        {{u"/who", u"/whois"}, slashWords("who\0is\0"sv, {{3, 1044}})},  // from the end of /who
    };
    for (const auto& [words, bytes] : cases) {
        env.write("dict.dat", test::emptyDictionary());
        for (std::u16string_view word : words) {
            dictionary.DbDodajSlowo(word);
        }
        EXPECT_EQ(env.read("dict.dat"), bytes);
    }
    EXPECT_EQ(env.decodedLog(), "");

    // A text teaches each space-separated piece of two to two hundred fifty characters.
    const std::pair<std::u16string, Words> texts[] = {
        {u"a bb  c Hello hello tab\tin", {u"bb", u"Hello", u"hello", u"tab\tin"}},
        // Each character's low byte is stored; a word holding a 0 one is not taught.
        {u"za\u015b a\u0100b", {test::storedForm(u"za\u015b")}},
        {std::u16string(300, u'q') + u" ok", {std::u16string(250, u'q'), u"ok"}},
    };
    for (const auto& [text, words] : texts) {
        env.write("dict.dat", test::emptyDictionary());
        dictionary.DbDodajTekst(text);
        EXPECT_EQ(referenceWords(env.read("dict.dat")), words) << toUtf8(text);
    }
    // Teaching it again finds the cut word already there.
    const std::string before = env.read("dict.dat");
    dictionary.DbDodajTekst(std::u16string(260, u'q'));
    EXPECT_EQ(env.read("dict.dat"), before);
}

TEST_F(DictionaryTest, NewResetAndEmptyDictionariesAreTheSeedWordsAndBackupsAreWholeCopies) {
    dictionary.DbTworzSlownik(0);
    const std::string fresh = env.read("dict.dat");
    EXPECT_EQ(fresh, test::seedDictionary());
    // Starting again keeps a file with words, adding only the missing seed words.
    env.write("dict.dat", test::buildDictionary({u"/join", u"hello"}));
    dictionary.DbTworzSlownik(0);
    Words expected = referenceWords(fresh);
    expected.insert(u"hello");
    EXPECT_EQ(referenceWords(env.read("dict.dat")), expected);
    dictionary.DbTworzSlownik(1);
    EXPECT_EQ(env.read("dict.dat"), fresh);
    env.write("dict.dat", "");  // an empty file is filled like a missing one
    dictionary.DbTworzSlownik(0);
    EXPECT_EQ(env.read("dict.dat"), fresh);

    // Backup and restore copy whole files.
    dictionary.DbPrzywrocKopie();  // no backup yet: reported, nothing changed
    EXPECT_EQ(env.read("dict.dat"), fresh);
    EXPECT_EQ(env.logCount("DbCopy\t\tCopyFileW : " + std::to_string(ENOENT)), 1u);

    dictionary.DbDodajTekst(u"first words");
    const std::string saved = env.read("dict.dat");
    dictionary.DbKopiaZapasowa();
    EXPECT_EQ(env.read("dict_old.dat"), saved);
    dictionary.DbDodajTekst(u"later words");
    dictionary.DbPrzywrocKopie();
    EXPECT_EQ(env.read("dict.dat"), saved);
}

TEST_F(DictionaryTest, AnAddCutShortLeavesNoLinkToMissingRecords) {
    env.write("dict.dat", test::buildDictionary({u"/join", u"/jab"}));
    {
        test::FileSizeLimit limit(1070);  // "/jump" needs 1084 bytes
        ASSERT_TRUE(limit.set());
        dictionary.DbDodajSlowo(u"/jump");
    }
    EXPECT_EQ(env.logCount("DbSzukajWDrzewie\t\tWriteFile : " + std::to_string(EFBIG)), 1u)
        << env.decodedLog();
    EXPECT_EQ(dictionary.lookup(u"/j", 5).words, (Rows{u"/jab", u"/join"}));

    // The torn phrase is sealed off, so the next word does not read as its continuation.
    dictionary.DbDodajSlowo(u"/jump");
    dictionary.DbDodajSlowo(u"/xy");
    EXPECT_EQ(referenceWords(env.read("dict.dat")), (Words{u"/join", u"/jab", u"/jump", u"/xy"}));
    EXPECT_EQ((env.read("dict.dat").size() - kDictHeaderBytes) % kDictRecordBytes, 0u);
}

constexpr auto relink = test::store32At;

// One case for each report, and for a damaged slot and a damaged next link; the fuzz corpus
// replay checks the listings' own rules on damaged files, and that adding to one loses no word.
TEST_F(DictionaryTest, DamageEndsTheWalkAndIsReportedOnce) {
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        Rows rowsForSlashJ;    // lookup "/j", maximum 5
        const char* reported;  // the text of the one report
    };
    const Rows jj{u"/jab", u"/join"}, j{u"/join"};
    const Case cases[] = {
        {"ends inside a record", [](auto& b) { b.resize(1082); }, jj, "without an end"},
        {"shorter than the header", [](auto& b) { b.resize(600); }, {}, "its header"},
        {"slot past the end", [](auto& b) { relink(b, 4 * '/', 5000); }, {}, "outside"},
        {"slot into a record", [](auto& b) { relink(b, 4 * '/', 1026); }, {}, "into a record"},
        {"next back into a cycle", [](auto& b) { relink(b, 1049, 1029); }, jj, "back"},
        {"next to itself", [](auto& b) { relink(b, 1029, 1029); }, j, "back"},
        {"no word ends",
         [](auto& b) {
             for (std::size_t at = kDictHeaderBytes + 4; at < b.size(); at += 5) {
                 b[at] = b[at] == 0 ? 'z' : b[at];
             }
         },
         {},
         "without an end"},
        {"a word longer than any taught",
         [](auto& b) {
             relink(b, 4 * 'q', static_cast<std::uint32_t>(b.size()));
             for (int i = 0; i < 300; ++i) {
                 b += std::string(4, '\0') + 'q';
             }
             b.append(5, '\0');
         },
         {u"/jump", u"/jab", u"/join"},
         "without an end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(env.dir.file("errors.log").c_str());
        std::string bytes = kJoinJabJump;
        c.damage(bytes);
        env.write("dict.dat", bytes);
        Dictionary dictionary{env.settings, env.log};
        for (int i = 0; i < 3; ++i) {
            const WordLookup result = dictionary.lookup(u"/j", 5);
            EXPECT_TRUE(result.opened);
            EXPECT_EQ(result.words, c.rowsForSlashJ);
        }
        dictionary.lookup(u"qq", 5);
        EXPECT_EQ(env.logCount("\t\tdict.dat "), 1u) << env.decodedLog();
        EXPECT_EQ(env.logCount(c.reported), 1u) << env.decodedLog();
    }
}

Rows lookup(std::string bytes, std::u16string_view typed, int maximum) {
    MemoryDictStore store(bytes);
    DictScan scan;
    WordLookup result = lookupWords(store, typed, maximum, nullptr, scan);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(scan.damage, DictDamage::None);
    return result.words;
}

TEST(WordListing, OffersWordsInTheWalksOrderUpToTheMaximumFirstCharacterAsTyped) {
    // Later alternatives first; the maximum cuts the earliest-added branches short.
    EXPECT_EQ(lookup(kJoinJabJump, u"/j", 5), (Rows{u"/jump", u"/jab", u"/join"}));
    EXPECT_EQ(lookup(kJoinJabJump, u"/j", 2), (Rows{u"/jab", u"/join"}));
    EXPECT_EQ(lookup(kJoinJabJump, u"/j", 0), Rows{u"/join"});  // below 1 lists the first path
    EXPECT_EQ(lookup(kJoinJabJump, u"/ja", 5), Rows{u"/jab"});
    // Never the typed word itself.
    for (std::u16string_view none : {u"/join", u"/joins", u"", u"/J"}) {
        EXPECT_EQ(lookup(kJoinJabJump, none, 5), Rows{}) << toUtf8(none);
    }
    EXPECT_EQ(lookup(test::seedDictionary(), u"/who", 5), (Rows{u"/whowas", u"/whois"}));
    // "/jo" ends at a terminator among the alternatives after "/jo": it is not
    // listed and does not count against the maximum.
    EXPECT_EQ(lookup(test::buildDictionary({u"/jo", u"/joe", u"/jog", u"/join"}), u"/jo", 2),
              (Rows{u"/jog", u"/joe"}));

    // The first character as typed, the rest as stored: 'B' and U+0142 share a slot; what follows
    // comes back as its low byte.
    const std::string bytes = test::buildDictionary({u"Bob", u"\u0142ab", u"za\u015b"});
    EXPECT_EQ(lookup(bytes, u"B", 5), (Rows{u"Bab", u"Bob"}));
    EXPECT_EQ(lookup(bytes, u"\u0142a", 5), (Rows{u"\u0142ab"}));
    EXPECT_EQ(lookup(bytes, u"z", 5), (Rows{u"za["}));
    // A typed character with the low byte 0 matches nothing, not even a word's end.
    EXPECT_EQ(lookup(test::buildDictionary({u"ab", u"a"}), u"a\u0100", 5), Rows{});
    EXPECT_EQ(lookup(test::buildDictionary({u"ab"}), u"\u0100", 5), Rows{});
}

TEST(WordListing, LongChainsAreWalkedWithoutExhaustingTheStack) {
    // 200,000 ends of the typed word in one sibling chain, then "ab".
    constexpr std::uint32_t kRecords = 200000;
    std::string bytes = test::emptyDictionary();
    test::store32At(bytes, 4 * 'a', kDictHeaderBytes);
    bytes.resize(kDictHeaderBytes + std::size_t{kRecords} * kDictRecordBytes + 15, '\0');
    for (std::uint32_t i = 0; i < kRecords; ++i) {
        const std::uint32_t at = kDictHeaderBytes + i * kDictRecordBytes;
        test::store32At(bytes, at, at + kDictRecordBytes);
    }
    bytes[kDictHeaderBytes + kRecords * kDictRecordBytes + 4] = 'b';
    EXPECT_EQ(lookup(bytes, u"a", 5), Rows{u"ab"});
}

}  // namespace
}  // namespace kolu
