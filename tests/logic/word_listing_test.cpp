#include "completion/word_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/logic/dictionary_test_support.h"

namespace kolu {
namespace {

using Rows = std::vector<std::u16string>;

std::string seeds() {
    std::string bytes = test::emptyDictionary();
    MemoryDictStore store(bytes);
    std::u16string_view text = kDictSeedText;
    while (!text.empty()) {
        const std::size_t space = text.find(u' ');
        DictScan scan;
        dictAddWord(store, text.substr(0, space), nullptr, scan);
        text = space == text.npos ? u"" : text.substr(space + 1);
    }
    return bytes;
}

Rows lookup(std::string bytes, std::u16string_view typed, int maximum) {
    MemoryDictStore store(bytes);
    DictScan scan;
    WordLookup result = lookupWords(store, typed, maximum, nullptr, scan);
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(scan.damage, DictDamage::None);
    return result.words;
}

struct ListingCase {
    const char* dictionary;  // "jjj" or "seeds"
    std::u16string_view typed;
    int maximum;
    Rows rows;
};

void PrintTo(const ListingCase& c, std::ostream* os) {
    *os << c.dictionary << " '" << toUtf8(c.typed) << "' max " << c.maximum;
}

class WordListing : public ::testing::TestWithParam<ListingCase> {};

TEST_P(WordListing, OffersWordsInTheWalksOrder) {
    const ListingCase& c = GetParam();
    const std::string bytes = std::string(c.dictionary) == "seeds"
                                  ? seeds()
                                  : test::buildDictionary({u"/join", u"/jab", u"/jump"});
    EXPECT_EQ(lookup(bytes, c.typed, c.maximum), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WordListing,
    ::testing::Values(
        // Later alternatives first; the maximum cuts the earliest-added branches short.
        ListingCase{"jjj", u"/j", 5, {u"/jump", u"/jab", u"/join"}},
        ListingCase{"jjj", u"/j", 3, {u"/jump", u"/jab", u"/join"}},
        ListingCase{"jjj", u"/j", 2, {u"/jab", u"/join"}}, ListingCase{"jjj", u"/j", 1, {u"/join"}},
        // A maximum below 1 still lists the first path, as 1 does.
        ListingCase{"jjj", u"/j", 0, {u"/join"}}, ListingCase{"jjj", u"/j", -1, {u"/join"}},
        ListingCase{"jjj", u"/", 5, {u"/jump", u"/jab", u"/join"}},
        ListingCase{"jjj", u"/ja", 5, {u"/jab"}}, ListingCase{"jjj", u"/jo", 5, {u"/join"}},
        // The typed word itself is never offered.
        ListingCase{"jjj", u"/join", 5, {}}, ListingCase{"jjj", u"/joins", 5, {}},
        ListingCase{"jjj", u"/x", 5, {}}, ListingCase{"jjj", u"x", 5, {}},
        ListingCase{"jjj", u"", 5, {}}, ListingCase{"jjj", u"/J", 5, {}},
        ListingCase{"seeds", u"/w", 5, {u"/who", u"/whowas", u"/whois"}},
        ListingCase{"seeds", u"/who", 5, {u"/whowas", u"/whois"}},
        ListingCase{"seeds", u"/", 3, {u"/msg", u"/part", u"/join"}},
        ListingCase{"seeds", u"/", 2, {u"/part", u"/join"}},
        ListingCase{"seeds", u"/", 1, {u"/join"}},
        ListingCase{"seeds", u"/", 5, {u"/list", u"/invite", u"/msg", u"/part", u"/join"}},
        ListingCase{"seeds", u"/n", 5, {u"/notice", u"/nick", u"/names"}},
        ListingCase{"seeds", u"/wh", 1, {u"/whois"}}, ListingCase{"seeds", u"/whois", 5, {}}));

TEST(WordListingText, FirstCharacterAsTypedTheRestAsStored) {
    // 'B' and U+0142 share a slot; what follows comes back as its low byte.
    const std::string bytes = test::buildDictionary({u"Bob", u"\u0142ab", u"za\u015b"});
    EXPECT_EQ(lookup(bytes, u"B", 5), (Rows{u"Bab", u"Bob"}));
    EXPECT_EQ(lookup(bytes, u"\u0142", 5), (Rows{u"\u0142ab", u"\u0142ob"}));
    EXPECT_EQ(lookup(bytes, u"\u0142a", 5), (Rows{u"\u0142ab"}));
    EXPECT_EQ(lookup(bytes, u"z", 5), (Rows{u"za["}));
    // A typed character with the low byte 0 matches nothing, not even a word's end.
    EXPECT_EQ(lookup(test::buildDictionary({u"ab", u"a"}), u"a\u0100", 5), Rows{});
    EXPECT_EQ(lookup(test::buildDictionary({u"ab"}), u"\u0100", 5), Rows{});
}

TEST(WordListingText, AStoredTypedWordLetsTheNextAlternativeTakeItsPlace) {
    // "/jo" ends at a terminator among the alternatives after "/jo": it is not
    // listed and does not count against the maximum.
    const std::string bytes = test::buildDictionary({u"/jo", u"/joe", u"/jog", u"/join"});
    EXPECT_EQ(lookup(bytes, u"/jo", 2), (Rows{u"/jog", u"/joe"}));
    EXPECT_EQ(lookup(bytes, u"/jo", 5), (Rows{u"/join", u"/jog", u"/joe"}));
}

TEST(WordListingText, PrefixWalkStopsWhereTheTypedWordEnds) {
    const std::string bytes = test::buildDictionary({u"/join", u"/jab", u"/jump"});
    std::string copy = bytes;
    MemoryDictStore store(copy);
    DictReader reader(store, copy.size());
    DictRecord record;
    ASSERT_TRUE(reader.enter(1024, record));
    std::u16string_view prefix = u"ju";
    std::uint32_t offset = 1024;
    DbPorownujSlowa(reader, prefix, record, offset);
    EXPECT_TRUE(prefix.empty());
    EXPECT_EQ(offset, 1069u);  // 'm', the first alternative after "/ju"
    EXPECT_EQ(record.ch, 'm');

    ASSERT_TRUE(reader.enter(1024, record));
    prefix = u"jx";
    offset = 1024;
    DbPorownujSlowa(reader, prefix, record, offset);
    EXPECT_EQ(prefix, u"x");
    // One character typed: the walk does nothing.
    ASSERT_TRUE(reader.enter(1024, record));
    prefix = u"";
    offset = 1024;
    DbPorownujSlowa(reader, prefix, record, offset);
    EXPECT_EQ(offset, 1024u);
}

TEST(WordListingText, LongChainsAreWalkedWithoutExhaustingTheStack) {
    // 200,000 ends of the typed word in one sibling chain: none of them counts
    // against the maximum, so the walk follows the whole chain.
    constexpr std::uint32_t kRecords = 200000;
    std::string bytes = test::emptyDictionary();
    test::store32At(bytes, 4 * 'a', kDictHeaderBytes);
    bytes.resize(kDictHeaderBytes + std::size_t{kRecords} * kDictRecordBytes + 15, '\0');
    for (std::uint32_t i = 0; i + 1 < kRecords; ++i) {
        const std::uint32_t at = kDictHeaderBytes + i * kDictRecordBytes;
        test::store32At(bytes, at, at + kDictRecordBytes);
    }
    // The last one leads to "ab".
    const std::uint32_t last = kDictHeaderBytes + (kRecords - 1) * kDictRecordBytes;
    test::store32At(bytes, last, last + kDictRecordBytes);
    bytes[last + kDictRecordBytes + 4] = 'b';
    EXPECT_EQ(lookup(bytes, u"a", 5), Rows{u"ab"});
}

}  // namespace
}  // namespace kolu
