#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fixed_metrics.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

struct WrapCase {
    const char* name;
    std::u16string text;
    int maxWidth;
    std::vector<std::u16string> rows;
};

void PrintTo(const WrapCase& c, std::ostream* os) {
    *os << c.name << " \"" << toUtf8(c.text) << "\" at " << c.maxWidth << " px";
}

std::vector<std::u16string> rowTexts(std::u16string_view text, int maxWidth,
                                     const TextMetrics& metrics) {
    std::vector<std::u16string> texts;
    for (const WrapRow& row : wrapRows(text, maxWidth, metrics)) {
        texts.emplace_back(text.substr(row.start, row.length));
    }
    return texts;
}

class WrapRule : public ::testing::TestWithParam<WrapCase> {};

// 6 px per character: 60 px fit 10 characters (fit / 2 = 5), 42 px fit 7 (3).
TEST_P(WrapRule, CutsRowsWhereTheRuleSays) {
    const WrapCase& c = GetParam();
    test::FixedMetrics metrics(6, 13);
    EXPECT_EQ(rowTexts(c.text, c.maxWidth, metrics), c.rows);
    EXPECT_EQ(wrapRowCount(c.text, c.maxWidth, metrics), c.rows.size());
    EXPECT_EQ(wrappedHeight(c.text, c.maxWidth, metrics), static_cast<int>(c.rows.size()) * 13);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapRule,
    ::testing::Values(
        WrapCase{"empty line has no rows", u"", 60, {}},
        WrapCase{"short line", u"hello", 60, {u"hello"}},
        WrapCase{"exact fit stays one row", u"abcdefghij", 60, {u"abcdefghij"}},
        WrapCase{"one character too many", u"abcdefghijk", 60, {u"abcdefghij", u"k"}},
        WrapCase{"long word cut at the width",
                 u"abcdefghijklmnopqrstuvwxy",
                 60,
                 {u"abcdefghij", u"klmnopqrst", u"uvwxy"}},
        WrapCase{"blank at the first position that doesn't fit ends the row",
                 u"abcdefghij klm",
                 60,
                 {u"abcdefghij ", u"klm"}},
        WrapCase{"blank exactly at fit / 2 ends the row",
                 u"abcde fghijklmno",
                 60,
                 {u"abcde ", u"fghijklmno"}},
        WrapCase{"blank before fit / 2 is ignored",
                 u"abcd efghijklmnop",
                 60,
                 {u"abcd efghi", u"jklmnop"}},
        WrapCase{"the last blank in reach wins", u"ab cd ef gh ij", 60, {u"ab cd ef ", u"gh ij"}},
        WrapCase{"odd fit rounds fit / 2 down", u"abc defghij", 42, {u"abc ", u"defghij"}},
        WrapCase{"odd fit, blank just below fit / 2", u"ab cdefghij", 42, {u"ab cdef", u"ghij"}},
        WrapCase{"a blank that fits at the end stays", u"abcdefghi ", 60, {u"abcdefghi "}},
        WrapCase{"second blank starts the next row", u"abcdefghij  x", 60, {u"abcdefghij ", u" x"}},
        WrapCase{"trailing blanks past the width make a row",
                 u"abcdefghij   ",
                 60,
                 {u"abcdefghij ", u"  "}},
        WrapCase{"narrower than a character: one per row", u"a b", 5, {u"a", u" ", u"b"}},
        WrapCase{"zero width", u"xyz", 0, {u"x", u"y", u"z"}},
        WrapCase{"negative width", u"xy", -40, {u"x", u"y"}},
        WrapCase{"only blanks", u"            ", 60, {u"           ", u" "}},
        WrapCase{"a surrogate pair is never cut",
                 u"abcdefghi\U0001F600x",
                 60,
                 {u"abcdefghi", u"\U0001F600x"}},
        WrapCase{"a pair stays whole in a narrow view",
                 u"\U0001F600\U0001F600",
                 0,
                 {u"\U0001F600", u"\U0001F600"}}));

TEST(WrapRule, UnevenCharacterWidthsCountCumulatively) {
    test::FixedMetrics metrics(6, 13);
    metrics.setWidth(u'W', 12);
    EXPECT_EQ(rowTexts(u"WWWWW", 60, metrics), (std::vector<std::u16string>{u"WWWWW"}));
    EXPECT_EQ(rowTexts(u"WWWWWa", 60, metrics), (std::vector<std::u16string>{u"WWWWW", u"a"}));
    // fit = 6 (WW = 24, then four more = 48, a fifth would be 54 > 50): fit / 2 = 3.
    EXPECT_EQ(rowTexts(u"WWa bcdefg", 50, metrics),
              (std::vector<std::u16string>{u"WWa ", u"bcdefg"}));
}

TEST(WrapRule, RowHeightComesFromTheMetrics) {
    test::FixedMetrics metrics(6, 20);
    EXPECT_EQ(wrappedHeight(u"abcdefghijk", 60, metrics), 40);
}

// Widths only: exercises the interface's own search for "fit".
class WidthOnlyMetrics final : public TextMetrics {
  public:
    int width(std::u16string_view run) const override {
        int total = 0;
        for (char16_t c : run) {
            total += 3 + c % 7;
        }
        return total;
    }
    int lineHeight() const override { return 10; }
};

TEST(TextMetrics, DefaultFitMatchesACharacterByCharacterWalk) {
    WidthOnlyMetrics metrics;
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::u16string text(random() % 40, u'a');
        for (char16_t& c : text) {
            c = static_cast<char16_t>(u'a' + random() % 26);
        }
        const int maxWidth = static_cast<int>(random() % 200) - 10;
        std::size_t expected = 0;
        while (expected < text.size() &&
               metrics.width(std::u16string_view(text).substr(0, expected + 1)) <= maxWidth) {
            ++expected;
        }
        ASSERT_EQ(metrics.fitCount(text, maxWidth), expected) << toUtf8(text) << " " << maxWidth;
    }
}

TEST(HitTest, AnswersTheCharacterUnderThePoint) {
    test::FixedMetrics metrics(6, 13);
    const std::u16string text = u"abcdefghij klm";  // rows "abcdefghij " and "klm"
    struct Case {
        int x, y;
        std::size_t expected;
    };
    const Case cases[] = {
        {13, 5, 2},                   // third character of the first row
        {0, 1, 0},                    // first pixel row inside the first row
        {13, 18, 13},                 // second row: its start (11) + 2
        {500, 5, 11},                 // right of the text: the whole row
        {500, 20, 14}, {-5, 20, 11},  // left of the view: the row's start
        {13, 0, 0},                   // a row's top pixel belongs to no row
        {13, 13, 0},   {13, 40, 0},   // below the last row
        {13, -3, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hitTestLine(text, 60, metrics, c.x, c.y), c.expected)
            << "x " << c.x << " y " << c.y;
    }
    EXPECT_EQ(hitTestLine(u"", 60, metrics, 3, 3), 0u);
}

}  // namespace
}  // namespace kolu
