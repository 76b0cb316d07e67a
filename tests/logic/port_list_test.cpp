#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/text.h"
#include "servers/port_list.h"
#include "tests/support/fake_clock.h"

namespace kolu {
namespace {

// The list's ports, a TLS port as its negative.
std::vector<std::int32_t> expand(const PortList& list) {
    std::vector<std::int32_t> ports;
    for (int i = 0; i < list.count(); ++i) {
        ports.push_back(list.tlsAt(i) ? -list.at(i) : list.at(i));
    }
    return ports;
}

std::u16string repeated(std::u16string_view piece, int times) {
    std::u16string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

struct ParseCase {
    std::u16string text;
    std::vector<std::int32_t> ports;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << toUtf8(c.text) << '"';
}

class PortParsing : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PortParsing, GivesThePortsInTextOrder) {
    PortList list;
    const int count = SrvTworzTbPortow(GetParam().text, list);
    EXPECT_EQ(count, list.count());
    EXPECT_EQ(expand(list), GetParam().ports);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PortParsing,
    ::testing::Values(
        ParseCase{u"7000", {7000}}, ParseCase{u"6667,6668-6669", {6667, 6668, 6669}},
        ParseCase{u"6667,7000-7002", {6667, 7000, 7001, 7002}}, ParseCase{u"6667-6667", {6667}},
        // Duplicates stay, so a port listed twice is twice as likely.
        ParseCase{u"6667,6667", {6667, 6667}},
        ParseCase{u"6665-6667,6666", {6665, 6666, 6667, 6666}},
        // A low end above the high end adds nothing from that piece.
        ParseCase{u"6669-6667", {}}, ParseCase{u"7000-6667,6667", {6667}},
        // Empty pieces, garbage, 0 and numbers past 65535 are no ports.
        ParseCase{u"", {}}, ParseCase{u",", {}}, ParseCase{u"6667,", {6667}},
        ParseCase{u"6667,,6668", {6667, 6668}}, ParseCase{u"abc", {}},
        ParseCase{u"irc,6667", {6667}}, ParseCase{u"0", {}}, ParseCase{u"65536", {}},
        ParseCase{u"65535", {65535}}, ParseCase{u"1", {1}}, ParseCase{u"99999999999999999999", {}},
        // Conversion stops at the first non-digit after blanks and a sign.
        ParseCase{u"12abc", {12}},
        // A leading '+' (after blanks) makes the piece's ports TLS ones.
        ParseCase{u"+7000", {-7000}}, ParseCase{u"6667, +6697-6698", {6667, -6697, -6698}},
        ParseCase{u"6697-+6698", {6697, 6698}},
        ParseCase{u" 6667 , 7000 - 7001 ", {6667, 7000, 7001}}, ParseCase{u"\t6667", {6667}},
        ParseCase{u"66 67", {66}},
        // Only the first "-" cuts a range; the high end's own "-" is its sign.
        ParseCase{u"6667-6669-7000", {6667, 6668, 6669}}, ParseCase{u"6667--6669", {}},
        ParseCase{u"-", {}},
        // Range ends are clamped to 1..65535.
        ParseCase{u"-3", {1, 2, 3}}, ParseCase{u"0-2", {1, 2}},
        ParseCase{u"65533-70000", {65533, 65534, 65535}},
        ParseCase{u"65534-99999999999999", {65534, 65535}}, ParseCase{u"70000-80000", {}}));

TEST(PortList, HugeRangesAreBoundedAndCheap) {
    PortList list;
    EXPECT_EQ(SrvTworzTbPortow(u"1-70000", list), 65535);
    EXPECT_EQ(list.at(0), 1);
    EXPECT_EQ(list.at(65534), 65535);
    EXPECT_EQ(list.at(65535), -1);
    EXPECT_EQ(list.at(-1), -1);

    EXPECT_EQ(SrvTworzTbPortow(u"6667-99999999,1-2", list), 65535 - 6667 + 1 + 2);
    EXPECT_EQ(list.at(65535 - 6667), 65535);
    EXPECT_EQ(list.at(65535 - 6667 + 1), 1);
    EXPECT_EQ(list.at(65535 - 6667 + 2), 2);
}

TEST(PortList, RunsFindTheirPortsAcrossManyPieces) {
    PortList list;
    const int count = SrvTworzTbPortow(repeated(u"1-65535,7,", 5000), list);
    EXPECT_EQ(count, 5000 * 65536);
    EXPECT_EQ(list.at(65535), 7);
    EXPECT_EQ(list.at(65536), 1);
    EXPECT_EQ(list.at(4999 * 65536 + 100), 101);
    EXPECT_EQ(list.at(count - 1), 7);
}

TEST(PortList, TheCountNeverOverflows) {
    PortList list;
    // 40000 full ranges would be 2.6 billion ports; what does not fit is left out.
    const int count = SrvTworzTbPortow(repeated(u"1-65535,", 40000), list);
    EXPECT_EQ(count, (INT_MAX / 65535) * 65535);
    EXPECT_EQ(list.at(count - 1), 65535);
}

TEST(PortList, AddingOnePortOrARange) {
    PortList list;
    EXPECT_EQ(SrvDodajPort(list, 6667, 0), 1);
    EXPECT_EQ(SrvDodajPort(list, 0, 1), 1);
    EXPECT_EQ(SrvDodajPort(list, -1, 1), 1);
    EXPECT_EQ(SrvDodajPort(list, 65536, 1), 1);
    EXPECT_EQ(SrvDodajPort(list, 65535, 1), 2);
    EXPECT_EQ(SrvDodajZakres(list, u"10-12", 2, 2), 5);
    EXPECT_EQ(SrvDodajZakres(list, u"12-10", 2, 5), 5);
    EXPECT_EQ(expand(list), (std::vector<std::int32_t>{6667, 65535, 10, 11, 12}));

    SrvUsunTbPortow(list, 5);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.at(0), -1);
}

TEST(PortList, ParsingReplacesWhatTheListHeld) {
    PortList list;
    SrvTworzTbPortow(u"1-10", list);
    EXPECT_EQ(SrvTworzTbPortow(u"7000", list), 1);
    EXPECT_EQ(expand(list), std::vector<std::int32_t>{7000});
}

class PortChoice : public ::testing::Test {
  protected:
    test::FakeClock clock;
    test::FakeRandom random;
};

TEST_F(PortChoice, TakesRandModuloCountSeededWithTheTickCount) {
    clock.ticks = 987654321u;
    const std::vector<std::int32_t> expected{6667, 7000, 7001, 7002};
    for (int value : {0, 1, 2, 3, 4, 5, 6, 7, 2147483647}) {
        random.values = {value};
        random.nextIndex = 0;
        EXPECT_EQ(SrvLosujPort(u"6667,7000-7002", clock, random), expected[value % 4])
            << "rand() = " << value;
        EXPECT_EQ(random.seeded, 987654321u);
    }
}

TEST_F(PortChoice, TellsWhetherThePortPickedIsATlsOne) {
    bool tls = true;
    random.values = {0};
    EXPECT_EQ(SrvLosujPort(u"6667,+6697", clock, random, &tls), 6667);
    EXPECT_FALSE(tls);
    random.values = {1};
    random.nextIndex = 0;
    EXPECT_EQ(SrvLosujPort(u"6667,+6697", clock, random, &tls), 6697);
    EXPECT_TRUE(tls);
}

TEST_F(PortChoice, SeedsAgainAtEveryChoice) {
    random.values = {1, 0};
    clock.ticks = 10;
    EXPECT_EQ(SrvLosujPort(u"6667,6667,7000", clock, random), 6667);
    EXPECT_EQ(random.seeded, 10u);
    clock.ticks = 20;
    EXPECT_EQ(SrvLosujPort(u"6667,6667,7000", clock, random), 6667);
    EXPECT_EQ(random.seeded, 20u);
    EXPECT_EQ(random.seedCalls, 2);
    EXPECT_EQ(random.nextIndex, 2u);
}

TEST_F(PortChoice, NoPortGivesMinusOneWithoutDrawing) {
    for (const char16_t* text : {u"", u"abc", u"0", u"7000-6667", u",,"}) {
        EXPECT_EQ(SrvLosujPort(text, clock, random), -1) << toUtf8(text);
    }
    EXPECT_EQ(random.seedCalls, 0);
    EXPECT_EQ(random.nextIndex, 0u);
}

TEST_F(PortChoice, ANegativeDrawStillPicksAListedPort) {
    random.values = {-5};
    EXPECT_EQ(SrvLosujPort(u"1-3", clock, random), 2);
}

}  // namespace
}  // namespace kolu
