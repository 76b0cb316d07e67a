#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <random>
#include <vector>

namespace kolu {
namespace {

std::string hex(std::u16string_view text) {
    std::string out;
    char buf[8];
    for (char16_t c : text) {
        std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
        out += buf;
    }
    return out;
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::u16string expected;
};

const std::vector<DecodeCase>& decodeCases() {
    static const std::vector<DecodeCase> cases = {
        {"ascii", "PRIVMSG #a :hi", u"PRIVMSG #a :hi"},
        {"two byte", "\xC3\xA9\xC2\x80\xDF\xBF", u"\u00E9\u0080\u07FF"},
        {"three byte", "\xE2\x82\xAC\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF",
         u"\u20AC\u0800\uD7FF\uE000\uFFFF"},
        {"four byte", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\xF0\x90\x80\x80",
         u"\xD83D\xDE00\xDBFF\xDFFF\xD800\xDC00"},
        {"stray continuation", "a\x80z", u"a\u20ACz"},
        {"undefined 1252 bytes", "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {"1252 high range", "\x9F\xA0\xFF", u"\u0178\u00A0\u00FF"},
        {"overlong two byte", "\xC0\xAF\xC1\xBF", u"\u00C0\u00AF\u00C1\u00BF"},
        {"overlong three byte", "\xE0\x80\xAF", u"\u00E0\u20AC\u00AF"},
        {"overlong four byte", "\xF0\x8F\xBF\xBF", u"\u00F0\u008F\u00BF\u00BF"},
        {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC"},
        {"F5 lead", "\xF5\x80", u"\u00F5\u20AC"},
        {"broken by ascii",
         "\xE2\x82"
         "A",
         u"\u00E2\u201A"
         "A"},
        {"broken by new lead", "\xC3\xC3\xA9", u"\u00C3\u00E9"},
        {"truncated at end", "x\xF0\x9F\x98", u"x\u00F0\u0178\u02DC"},
        {"lone lead at end", "\xC3", u"\u00C3"},
        {"nul byte kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    return cases;
}

TEST(FromUtf8, DecodesValidTextAndInvalidBytesAsWindows1252) {
    for (const auto& c : decodeCases()) {
        EXPECT_EQ(hex(fromUtf8(c.bytes)), hex(c.expected)) << c.name;
    }
}

TEST(FromUtf8, EveryHighByteAloneIsItsWindows1252Character) {
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(fromUtf8(one), std::u16string(1, windows1252ToUnicode(b))) << b;
    }
    EXPECT_EQ(windows1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(windows1252ToUnicode(0x8A), u'\u0160');
    EXPECT_EQ(windows1252ToUnicode(0x7F), u'\u007F');
    EXPECT_EQ(windows1252ToUnicode(0xE9), u'\u00E9');
}

// Feeding the bytes in any two pieces, or one byte at a time, decodes exactly
// like the whole text at once.
TEST(Utf8StreamDecoder, SplitsAtEveryPointDecodeLikeTheWhole) {
    for (const auto& c : decodeCases()) {
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Utf8StreamDecoder decoder;
            std::u16string got = decoder.decode(std::string_view(c.bytes).substr(0, cut));
            got += decoder.decode(std::string_view(c.bytes).substr(cut));
            got += decoder.flush();
            EXPECT_EQ(hex(got), hex(c.expected)) << c.name << " cut at " << cut;
        }
        Utf8StreamDecoder decoder;
        std::u16string got;
        for (char byte : c.bytes) {
            got += decoder.decode(std::string_view(&byte, 1));
        }
        got += decoder.flush();
        EXPECT_EQ(hex(got), hex(c.expected)) << c.name << " byte by byte";
    }
}

TEST(Utf8StreamDecoder, HoldsAnIncompleteTailUntilTheNextChunk) {
    Utf8StreamDecoder decoder;
    EXPECT_EQ(decoder.decode("ab\xF0\x9F"), u"ab");
    EXPECT_TRUE(decoder.hasPending());
    EXPECT_EQ(decoder.decode("\x98"), u"");
    EXPECT_EQ(decoder.decode("\x80!"), u"\xD83D\xDE00!");
    EXPECT_FALSE(decoder.hasPending());

    // A tail that can never complete is not held.
    EXPECT_EQ(decoder.decode("\xED\xA0"), u"\u00ED\u00A0");
    EXPECT_FALSE(decoder.hasPending());

    EXPECT_EQ(decoder.decode("\xE2\x82"), u"");
    EXPECT_EQ(decoder.flush(), u"\u00E2\u201A");
    EXPECT_FALSE(decoder.hasPending());

    EXPECT_EQ(decoder.decode("\xC3"), u"");
    decoder.reset();
    EXPECT_EQ(decoder.decode("\xA9"), u"\u00A9");
}

TEST(Utf8StreamDecoder, RandomBytesInRandomChunksMatchWholeDecoding) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string bytes(rng() % 40, '\0');
        for (char& b : bytes) {
            // Mostly high bytes, so sequences and near-sequences are common.
            b = static_cast<char>(rng() % 4 == 0 ? rng() % 0x80 : 0x80 + rng() % 0x80);
        }
        Utf8StreamDecoder decoder;
        std::u16string got;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t length = std::min<std::size_t>(rng() % 5, bytes.size() - at);
            got += decoder.decode(std::string_view(bytes).substr(at, length));
            at += length;
        }
        got += decoder.flush();
        ASSERT_EQ(hex(got), hex(fromUtf8(bytes))) << "round " << round;
    }
}

TEST(ToUtf8, RoundTripsEveryKindOfCharacter) {
    const std::u16string texts[] = {
        u"",
        u"plain",
        u"za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144",
        u"\u20AC\u0800\uFFFF\u0080\u07FF",
        u"\xD83D\xDE00 \xDBFF\xDFFF \xD800\xDC00",
    };
    for (const auto& text : texts) {
        EXPECT_EQ(hex(fromUtf8(toUtf8(text))), hex(text));
    }
    EXPECT_EQ(toUtf8(u"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(toUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(ToUtf8, LoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(toUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"\xDC00z"), "\xEF\xBF\xBDz");
    EXPECT_EQ(toUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// "ab" + euro (3 bytes) + emoji (4 bytes) + "c": whole characters end at these byte counts.
TEST(ToUtf8Bounded, CutsBeforeTheFirstCharacterThatDoesNotFit) {
    const std::u16string text =
        u"ab\u20AC\xD83D\xDE00"
        u"c";
    const std::string full = toUtf8(text);
    const std::size_t ends[] = {0, 1, 2, 5, 9, 10};
    for (std::size_t capacity = 0; capacity <= 13; ++capacity) {
        std::size_t expected = 0;
        for (std::size_t end : ends) {
            if (capacity > 0 && end <= capacity - 1) {
                expected = end;
            }
        }
        std::string buffer(capacity + 8, '\x7F');
        const std::size_t written = toUtf8Bounded(text, buffer.data(), capacity);
        EXPECT_EQ(written, expected) << "capacity " << capacity;
        if (capacity > 0) {
            EXPECT_EQ(buffer.substr(0, written), full.substr(0, written)) << capacity;
            EXPECT_EQ(buffer[written], '\0') << capacity;
        }
        for (std::size_t i = capacity; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], '\x7F') << "capacity " << capacity << " wrote at " << i;
        }
    }
}

TEST(ToUtf8Bounded, LoneSurrogateTakesThreeBytes) {
    char buffer[8];
    EXPECT_EQ(toUtf8Bounded(u"\xD800x", buffer, 4), 3u);
    EXPECT_EQ(std::string(buffer), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8Bounded(u"\xD800x", buffer, 3), 0u);
}

TEST(CutAtWholeChar, NeverEndsInsideASurrogatePair) {
    const std::u16string text =
        u"a\xD83D\xDE00"
        u"b";
    struct Case {
        std::size_t max;
        std::u16string_view expected;
    } cases[] = {
        {0, u""}, {1, u"a"}, {2, u"a"}, {3, u"a\xD83D\xDE00"}, {4, text}, {100, text},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hex(cutAtWholeChar(text, c.max)), hex(c.expected)) << c.max;
    }
    // A lone high surrogate is a character of its own and may be kept.
    EXPECT_EQ(cutAtWholeChar(u"a\xD83Dz", 2), u"a\xD83D");
}

TEST(FoldCase, FoldsLettersOfTheCoveredScripts) {
    const std::pair<char16_t, char16_t> pairs[] = {
        {u'A', u'a'},           {u'Z', u'z'},           {u'\u00C0', u'\u00E0'},
        {u'\u00DE', u'\u00FE'}, {u'\u0141', u'\u0142'}, {u'\u0104', u'\u0105'},
        {u'\u017B', u'\u017C'}, {u'\u0178', u'\u00FF'}, {u'\u0386', u'\u03AC'},
        {u'\u03A9', u'\u03C9'}, {u'\u0416', u'\u0436'}, {u'\u0401', u'\u0451'},
        {u'\u0531', u'\u0561'}, {u'\u1EA0', u'\u1EA1'}, {u'\uFF21', u'\uFF41'},
    };
    for (const auto& [upper, lower] : pairs) {
        EXPECT_EQ(foldCase(upper), lower) << std::hex << int(upper);
        EXPECT_EQ(foldCase(lower), lower) << std::hex << int(lower);
    }
    for (char16_t same : {u'@', u'[', u'{', u'~', u'\u00D7', u'\u00DF', u'\u0130', u'0'}) {
        EXPECT_EQ(foldCase(same), same) << std::hex << int(same);
    }
}

// Every fold must be the C library's own lower-case mapping, and folding twice
// must change nothing.
TEST(FoldCase, AgreesWithTheCLibraryAndIsIdempotent) {
    const char* old = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        GTEST_SKIP() << "no C.UTF-8 locale";
    }
    int folded = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const char16_t f = foldCase(static_cast<char16_t>(c));
        ASSERT_EQ(foldCase(f), f) << std::hex << c;
        if (f != c) {
            ++folded;
            ASSERT_EQ(static_cast<unsigned>(std::towlower(c)), static_cast<unsigned>(f))
                << std::hex << c;
        }
    }
    std::setlocale(LC_CTYPE, saved.c_str());
    EXPECT_GT(folded, 400);
}

TEST(EqualsIgnoreCase, ComparesFoldedText) {
    struct Case {
        std::u16string_view a, b;
        bool equal;
    } cases[] = {
        {u"", u"", true},
        {u"#Chan", u"#chan", true},
        {u"NickServ", u"NICKSERV", true},
        {u"\u0141\u00D3D\u0179", u"\u0142\u00F3d\u017A", true},
        {u"nick", u"nick_", false},
        {u"[a]", u"{a}", false},
        {u"\xD83D\xDE00", u"\xD83D\xDE00", true},
        {u"\xD83D\xDE00", u"\xD83D\xDE01", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(equalsIgnoreCase(c.a, c.b), c.equal) << hex(c.a) << "| " << hex(c.b);
    }
}

}  // namespace
}  // namespace kolu
