#include "completion/dictionary.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include "tests/support/file_size_limit.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/logic/dictionary_test_support.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using test::referenceWords;
using Words = std::set<std::u16string>;

// Header slots and records written out by hand, to compare files byte for byte.
std::string dictBytes(std::vector<std::pair<unsigned char, std::uint32_t>> slots,
                      std::vector<std::pair<std::uint32_t, char>> records) {
    std::string bytes = test::emptyDictionary();
    for (auto [slot, offset] : slots) {
        test::store32At(bytes, 4u * slot, offset);
    }
    for (auto [next, ch] : records) {
        const std::size_t at = bytes.size();
        bytes.resize(at + kDictRecordBytes, '\0');
        test::store32At(bytes, at, next);
        bytes[at + 4] = ch;
    }
    return bytes;
}

std::string seedDictionary() {
    std::string bytes = test::emptyDictionary();
    MemoryDictStore store(bytes);
    DictScan scan;
    std::u16string_view text = kDictSeedText;
    while (!text.empty()) {
        const std::size_t space = text.find(u' ');
        dictAddWord(store, text.substr(0, space), nullptr, scan);
        text = space == text.npos ? u"" : text.substr(space + 1);
    }
    return bytes;
}

class DictionaryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
        env.putString(kSettingsKey, u"dictpath", fromUtf8(env.dir.path()));
    }
    std::string path(const char* name = "dict.dat") const { return env.dir.file(name); }
    std::string contents(const char* name = "dict.dat") const {
        std::string bytes;
        readWholeFile(path(name), bytes);
        return bytes;
    }
    void put(const std::string& bytes, const char* name = "dict.dat") {
        ASSERT_EQ(writeFileAtomically(path(name), bytes), 0);
    }
    std::size_t logCount(const std::string& needle) const {
        const std::string log = env.decodedLog();
        std::size_t n = 0;
        for (std::size_t at = log.find(needle); at != log.npos; at = log.find(needle, at + 1)) {
            ++n;
        }
        return n;
    }

    test::SettingsEnv env;
    Dictionary dictionary{env.settings, env.log};
};

TEST_F(DictionaryTest, JoinJabJumpByteForByte) {
    put(test::emptyDictionary());
    dictionary.DbDodajSlowo(u"/join");
    EXPECT_EQ(contents(),
              dictBytes({{'/', 1024}}, {{0, 'j'}, {0, 'o'}, {0, 'i'}, {0, 'n'}, {0, 0}}));
    EXPECT_EQ(contents().size(), 1049u);

    dictionary.DbDodajSlowo(u"/jab");
    EXPECT_EQ(
        contents(),
        dictBytes({{'/', 1024}},
                  {{0, 'j'}, {1049, 'o'}, {0, 'i'}, {0, 'n'}, {0, 0}, {0, 'a'}, {0, 'b'}, {0, 0}}));

    dictionary.DbDodajSlowo(u"/jump");
    EXPECT_EQ(contents(), dictBytes({{'/', 1024}}, {{0, 'j'},
                                                    {1049, 'o'},
                                                    {0, 'i'},
                                                    {0, 'n'},
                                                    {0, 0},
                                                    {1064, 'a'},
                                                    {0, 'b'},
                                                    {0, 0},
                                                    {0, 'u'},
                                                    {0, 'm'},
                                                    {0, 'p'},
                                                    {0, 0}}));
    EXPECT_EQ(contents().size(), 1084u);
    EXPECT_EQ(env.decodedLog(), "");
}

TEST_F(DictionaryTest, APrefixAndAnExtensionOfAStoredWordLinkAtTheEndOfTheChain) {
    put(test::emptyDictionary());
    dictionary.DbDodajSlowo(u"/whois");
    dictionary.DbDodajSlowo(u"/who");  // one terminator, linked from the 'i' record
    EXPECT_EQ(contents(),
              dictBytes({{'/', 1024}},
                        {{0, 'w'}, {0, 'h'}, {0, 'o'}, {1054, 'i'}, {0, 's'}, {0, 0}, {0, 0}}));
    put(test::emptyDictionary());
    dictionary.DbDodajSlowo(u"/who");
    dictionary.DbDodajSlowo(u"/whois");  // linked from the terminator of "/who"
    EXPECT_EQ(contents(),
              dictBytes({{'/', 1024}},
                        {{0, 'w'}, {0, 'h'}, {0, 'o'}, {1044, 0}, {0, 'i'}, {0, 's'}, {0, 0}}));
    EXPECT_EQ(referenceWords(contents()), (Words{u"/who", u"/whois"}));
}

TEST_F(DictionaryTest, AWordAlreadyStoredLeavesTheFileByteForByte) {
    dictionary.DbTworzSlownik(0);
    dictionary.DbDodajTekst(u"x hello help he #kolu");
    dictionary.DbDodajSlowo(u"x");  // one character: a lone terminator in slot 'x'
    const std::string before = contents();
    for (std::u16string_view word :
         {u"/join", u"/who", u"/whois", u"/ison", u"x", u"hello", u"help", u"he", u"#kolu"}) {
        dictionary.DbDodajSlowo(word);
        EXPECT_EQ(contents(), before) << toUtf8(word);
    }
    dictionary.DbTworzSlownik(0);
    EXPECT_EQ(contents(), before);
}

struct TextCase {
    std::u16string_view text;
    std::vector<std::u16string_view> words;
};

class DictionaryText : public DictionaryTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(DictionaryText, TeachesEachSpaceSeparatedPieceOfTwoOrMoreCharacters) {
    put(test::emptyDictionary());
    dictionary.DbDodajTekst(GetParam().text);
    Words expected;
    for (std::u16string_view word : GetParam().words) {
        expected.insert(test::storedForm(word));
    }
    EXPECT_EQ(referenceWords(contents()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DictionaryText,
    ::testing::Values(TextCase{u"a bb  c", {u"bb"}}, TextCase{u"", {}}, TextCase{u"   ", {}},
                      TextCase{u"ab", {u"ab"}}, TextCase{u" x yz ", {u"yz"}},
                      TextCase{u"Hello hello", {u"Hello", u"hello"}},
                      TextCase{u"/join #Kolu,#b 42 :-)", {u"/join", u"#Kolu,#b", u"42", u":-)"}},
                      TextCase{u"tab\tinside", {u"tab\tinside"}},
                      // The low byte of each character is what is stored.
                      TextCase{u"za\u015b \u0142\u00f3d\u017a",
                               {u"za\u015b", u"\u0142\u00f3d\u017a"}},
                      // A character whose low byte is 0 would end the word: not taught.
                      TextCase{u"a\u0100b ok \u0100x", {u"ok"}}));

TEST_F(DictionaryTest, PiecesAreCutTo250Characters) {
    put(test::emptyDictionary());
    dictionary.DbDodajTekst(std::u16string(300, u'q') + u" ok");
    EXPECT_EQ(referenceWords(contents()), (Words{std::u16string(250, u'q'), u"ok"}));
    // Teaching it again finds the cut word already there.
    const std::string before = contents();
    dictionary.DbDodajTekst(std::u16string(260, u'q'));
    EXPECT_EQ(contents(), before);
}

TEST_F(DictionaryTest, TheSizesOfTheTextCaseAndSharedSlots) {
    put(test::emptyDictionary());
    dictionary.DbDodajTekst(u"a bb  c");
    EXPECT_EQ(contents().size(), 1034u);
    dictionary.DbDodajTekst(u"Bob \u0142ab");
    const std::string bytes = contents();
    // 'B' (U+0042) and U+0142 share slot 0x42: the second word hangs off the first.
    EXPECT_EQ(test::slotOf(bytes, 0x42), 1034u);
    EXPECT_EQ(test::slotOf(bytes, 'b'), 1024u);
    EXPECT_EQ(referenceWords(bytes), (Words{u"bb", u"Bob", u"Bab"}));
}

TEST_F(DictionaryTest, NewAndResetDictionariesAreTheSame1484Bytes) {
    dictionary.DbTworzSlownik(0);
    const std::string fresh = contents();
    EXPECT_EQ(fresh.size(), 1484u);
    EXPECT_EQ(fresh, seedDictionary());
    EXPECT_EQ(referenceWords(fresh).size(), 20u);

    dictionary.DbDodajTekst(u"hello world");
    dictionary.DbTworzSlownik(0);  // a non-empty file is kept
    EXPECT_GT(contents().size(), 1484u);
    dictionary.DbTworzSlownik(1);
    EXPECT_EQ(contents(), fresh);

    put("");  // an empty file is filled like a missing one
    dictionary.DbTworzSlownik(0);
    EXPECT_EQ(contents(), fresh);
    EXPECT_EQ(env.decodedLog(), "");
}

TEST_F(DictionaryTest, StartingAgainAddsOnlyMissingSeedWords) {
    put(test::buildDictionary({u"/join", u"hello"}));
    dictionary.DbTworzSlownik(0);
    Words expected = referenceWords(seedDictionary());
    expected.insert(u"hello");
    EXPECT_EQ(referenceWords(contents()), expected);
}

TEST_F(DictionaryTest, BackupAndRestoreCopyWholeFiles) {
    dictionary.DbTworzSlownik(0);
    dictionary.DbDodajTekst(u"first words");
    const std::string saved = contents();
    dictionary.DbKopiaZapasowa();
    EXPECT_EQ(contents("dict_old.dat"), saved);

    dictionary.DbDodajTekst(u"later words");
    EXPECT_NE(contents(), saved);
    dictionary.DbPrzywrocKopie();
    EXPECT_EQ(contents(), saved);
    EXPECT_EQ(env.decodedLog(), "");
}

TEST_F(DictionaryTest, RestoreWithoutABackupIsReportedAndChangesNothing) {
    dictionary.DbTworzSlownik(0);
    const std::string before = contents();
    dictionary.DbPrzywrocKopie();
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(logCount("DbCopy\t\tCopyFileW : " + std::to_string(ENOENT)), 1u) << env.decodedLog();
}

TEST_F(DictionaryTest, StartUpBacksUpThePreviousRunsDictionaryFirst) {
    const std::string previous = test::buildDictionary({u"/join", u"mine"});
    put(previous);
    env.putDword(kSettingsKey, u"whspback", 1);
    dictionary.startUp();
    EXPECT_EQ(contents("dict_old.dat"), previous);
    EXPECT_TRUE(referenceWords(contents()).contains(u"/ison"));

    std::remove(path("dict_old.dat").c_str());
    env.putDword(kSettingsKey, u"whspback", 0);
    dictionary.startUp();
    EXPECT_FALSE(fileExists(path("dict_old.dat")));
}

TEST_F(DictionaryTest, EveryOperationReadsTheFileAgain) {
    put(test::buildDictionary({u"/jab"}));
    EXPECT_EQ(dictionary.lookup(u"/j", 5).words, std::vector<std::u16string>{u"/jab"});
    // Replaced behind the dictionary's back: the next lookup and add see the new file.
    put(test::buildDictionary({u"/join"}));
    EXPECT_EQ(dictionary.lookup(u"/j", 5).words, std::vector<std::u16string>{u"/join"});
    dictionary.DbDodajSlowo(u"/jump");
    EXPECT_EQ(referenceWords(contents()), (Words{u"/join", u"/jump"}));
}

TEST_F(DictionaryTest, AFolderThatCannotBeOpenedIsReportedAndLeavesTheListAlone) {
    env.putString(kSettingsKey, u"dictpath", fromUtf8(env.dir.file("missing/")));
    dictionary.DbDodajSlowo(u"hello");
    const WordLookup result = dictionary.lookup(u"he", 5);
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(logCount("DbDodajSlowo\t\tCreateFileW"), 1u) << env.decodedLog();
    EXPECT_EQ(logCount("DbMonitorujSlowo\t\tCreateFileW"), 1u);
    EXPECT_FALSE(fileExists(env.dir.file("missing/dict.dat")));
}

TEST_F(DictionaryTest, AnAddCutShortLeavesNoLinkToMissingRecords) {
    put(test::buildDictionary({u"/join", u"/jab"}));
    {
        test::FileSizeLimit limit(1070);  // "/jump" needs 1084 bytes
        ASSERT_TRUE(limit.set());
        dictionary.DbDodajSlowo(u"/jump");
    }
    EXPECT_EQ(logCount("DbSzukajWDrzewie\t\tWriteFile : " + std::to_string(EFBIG)), 1u)
        << env.decodedLog();
    EXPECT_EQ(contents().size(), 1070u);
    EXPECT_EQ(referenceWords(contents()), (Words{u"/join", u"/jab"}));
    EXPECT_EQ(dictionary.lookup(u"/j", 5).words, (std::vector<std::u16string>{u"/jab", u"/join"}));

    // The torn phrase is sealed off, so the next word does not read as its continuation.
    dictionary.DbDodajSlowo(u"/jump");
    dictionary.DbDodajSlowo(u"/xy");
    EXPECT_EQ(referenceWords(contents()), (Words{u"/join", u"/jab", u"/jump", u"/xy"}));
    EXPECT_EQ((contents().size() - kDictHeaderBytes) % kDictRecordBytes, 0u);
}

}  // namespace
}  // namespace kolu
