#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fixed_metrics.h"
#include "ui/formatting.h"
#include "ui/text_lines.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

// 6 px per character and a 60 px view: 10 characters per row, 13 px per row.
class TextLinesTest : public ::testing::Test {
  protected:
    test::FixedMetrics metrics{6, 13};
    TextLines lines{&metrics, 60};
};

TEST_F(TextLinesTest, AppendAnswersTheRunningTotalHeight) {
    EXPECT_EQ(lines.totalHeight(), 0);
    EXPECT_EQ(lines.append(u"hello", 0x0000FF), 13);
    // An empty line is stored but takes no height.
    EXPECT_EQ(lines.append(u"", 0x00FF00), 13);
    EXPECT_EQ(lines.append(u"abcdefghij klmnopqrstu vwxyz", 0xFF0000), 13 + 3 * 13);
    EXPECT_EQ(lines.totalHeight(), 52);
    ASSERT_EQ(lines.lineCount(), 3u);
    EXPECT_EQ(lines.lineHeight(0), 13);
    EXPECT_EQ(lines.lineHeight(1), 0);
    EXPECT_EQ(lines.lineHeight(2), 39);
}

TEST_F(TextLinesTest, LinesKeepTheirTextAndColourInOrder) {
    lines.append(u"first", 1);
    lines.append(u"", 2);
    lines.append(u"za\u017C\u00F3\u0142\u0107 \U0001F600", 3);
    EXPECT_EQ(lines.line(0).text, u"first");
    EXPECT_EQ(lines.line(0).colour, 1u);
    EXPECT_EQ(lines.line(1).text, u"");
    EXPECT_EQ(lines.line(1).colour, 2u);
    EXPECT_EQ(lines.line(2).text, u"za\u017C\u00F3\u0142\u0107 \U0001F600");
    EXPECT_EQ(lines.line(2).colour, 3u);
    // Out of range answers an empty line rather than reading past the store.
    EXPECT_EQ(lines.line(3).text, u"");
    EXPECT_EQ(lines.lineHeight(3), 0);
}

TEST_F(TextLinesTest, SurrogatesWithoutTheirPartnersComeBackUnchanged) {
    const std::u16string odd[] = {
        {u'a', char16_t(0xD800)},                                // a high surrogate at the end
        {char16_t(0xDFFF), u'b'},                                // a low one at the start
        {char16_t(0xDC00), char16_t(0xD800)},                    // a pair the wrong way round
        {char16_t(0xDBFF), char16_t(0xDBFF), char16_t(0xDFFF)},  // a high one, then a pair
        {u' ', char16_t(0x7FF), char16_t(0x800), char16_t(0xFFFF)},
    };
    for (const std::u16string& text : odd) {
        lines.append(text, 0);
    }
    for (std::size_t i = 0; i < std::size(odd); ++i) {
        EXPECT_EQ(lines.line(i).text, odd[i]) << "line " << i;
    }
}

TEST_F(TextLinesTest, TextSurvivesManyBlocksAndLongLines) {
    std::mt19937 random(11);
    std::vector<std::u16string> expected;
    for (int i = 0; i < 3000; ++i) {
        // Mostly short lines, now and then one longer than a whole packing block.
        std::size_t length = random() % 20 == 0 ? 5000 + random() % 40000 : random() % 300;
        std::u16string text(length, u'\0');
        for (char16_t& c : text) {
            // Mostly ASCII, the rest anywhere in the 16-bit range past the control
            // characters, surrogates included.
            c = static_cast<char16_t>(random() % 4 ? u' ' + random() % 90
                                                   : 0x80 + random() % (0x10000 - 0x80));
        }
        lines.append(text, static_cast<Colour>(i));
        expected.push_back(std::move(text));
    }
    ASSERT_EQ(lines.lineCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(lines.line(i).text, expected[i]) << "line " << i;
        ASSERT_EQ(lines.line(i).colour, static_cast<Colour>(i));
    }
}

TEST_F(TextLinesTest, AWidthChangeReMeasuresEveryLine) {
    lines.append(u"abcdefghijklmnopqrst", 0);  // 2 rows at 60 px
    lines.append(u"abcde", 0);
    EXPECT_EQ(lines.totalHeight(), 39);
    lines.setWidth(30);  // 5 characters per row
    EXPECT_EQ(lines.width(), 30);
    EXPECT_EQ(lines.lineHeight(0), 4 * 13);
    EXPECT_EQ(lines.totalHeight(), 5 * 13);
    EXPECT_EQ(lines.append(u"abcdefg", 0), 7 * 13);
    lines.setWidth(600);
    EXPECT_EQ(lines.totalHeight(), 3 * 13);
}

TEST_F(TextLinesTest, AFontChangeReMeasuresEveryLine) {
    lines.append(u"abcdefghijk", 0);
    EXPECT_EQ(lines.totalHeight(), 26);
    metrics.setRowHeight(20);
    lines.metricsChanged();
    EXPECT_EQ(lines.totalHeight(), 40);
    test::FixedMetrics narrow(3, 10);
    lines.setMetrics(&narrow);
    EXPECT_EQ(lines.totalHeight(), 10);
}

TEST(TextLines, WithoutMetricsLinesAreKeptButHaveNoHeight) {
    TextLines lines;
    EXPECT_EQ(lines.width(), TextLines::kDefaultWidth);
    EXPECT_EQ(lines.append(u"hello", 5), 0);
    ASSERT_EQ(lines.lineCount(), 1u);
    EXPECT_EQ(lines.line(0).text, u"hello");
}

class CountingObserver final : public TextLinesObserver {
  public:
    std::vector<std::size_t> counts;
    std::vector<int> totals;
    void lineAppended(const TextLines& lines) override {
        counts.push_back(lines.lineCount());
        totals.push_back(lines.totalHeight());
    }
};

TEST_F(TextLinesTest, TheViewHearsOfEachLineAfterItIsStored) {
    CountingObserver observer;
    lines.setObserver(&observer);
    lines.append(u"one", 0);
    lines.append(u"two three four", 0);
    EXPECT_EQ(observer.counts, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(observer.totals, (std::vector<int>{13, 39}));
}

// The remembered heights must always equal a full re-measure of every line, the
// way the view once recounted its whole history at each line.
TEST(TextLines, IncrementalTotalsEqualAFullReMeasure) {
    test::FixedMetrics metrics(6, 13);
    metrics.setWidth(u'W', 11);
    metrics.setWidth(u'i', 2);
    std::mt19937 random(2024);
    // Formatting codes among the characters: they take no room.
    const char16_t alphabet[] =
        u"abc Wi  xy\x02\x03"
        u"4,";
    for (int trial = 0; trial < 20; ++trial) {
        TextLines lines(&metrics, static_cast<int>(random() % 120));
        std::vector<std::u16string> texts;
        for (int step = 0; step < 400; ++step) {
            const unsigned action = random() % 20;
            if (action == 0) {
                lines.setWidth(static_cast<int>(random() % 150) - 5);
            } else if (action == 1) {
                metrics.setRowHeight(static_cast<int>(10 + random() % 10));
                lines.metricsChanged();
            } else {
                std::u16string text(random() % 90, u'a');
                for (char16_t& c : text) {
                    c = alphabet[random() % 14];
                }
                const int answered = lines.append(text, 0);
                texts.push_back(std::move(text));
                int full = 0;
                for (const std::u16string& t : texts) {
                    full += wrappedHeight(plainText(t), lines.width(), metrics);
                }
                ASSERT_EQ(answered, full) << "trial " << trial << " step " << step;
            }
        }
        for (std::size_t i = 0; i < texts.size(); ++i) {
            ASSERT_EQ(lines.lineHeight(i),
                      wrappedHeight(plainText(texts[i]), lines.width(), metrics));
            ASSERT_EQ(lines.line(i).text, plainText(texts[i]));
        }
    }
}

TEST(TextLines, AHundredThousandLinesOfEightyCharactersFitInTwelveMegabytes) {
    test::FixedMetrics metrics;
    TextLines lines(&metrics, 480);
    const std::u16string text(80, u'x');
    for (int i = 0; i < 100000; ++i) {
        lines.append(text, 0);
    }
    EXPECT_EQ(lines.lineCount(), 100000u);
    EXPECT_GE(lines.memoryBytes(), 100000u * 80);
    EXPECT_LT(lines.memoryBytes(), 12u * 1000 * 1000);
}

}  // namespace
}  // namespace kolu
