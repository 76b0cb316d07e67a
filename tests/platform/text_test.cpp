#include "platform/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <tuple>

namespace kolu {
namespace {

// Inbound bytes arrive in arbitrary chunks: every cut, and byte by byte, must
// decode exactly like the whole text (random chunkings: the protocol fuzz replay).
TEST(Utf8Decoding, WholeAndSplitAtEveryPoint) {
    // One row per kind of sequence, valid ones at their range ends; whatever is not
    // valid UTF-8 decodes byte by byte as Windows-1252.
    const std::tuple<const char*, std::string, std::u16string> cases[] = {
        {"two byte", "\xC2\x80\xDF\xBF", u"\u0080\u07FF"},
        {"three byte", "\xE0\xA0\x80\xEF\xBF\xBF", u"\u0800\uFFFF"},
        {"four byte", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", u"\xD800\xDC00\xDBFF\xDFFF"},
        {"stray continuation", "a\x80z", u"a\u20ACz"},
        {"undefined 1252 bytes and the top", "\x81\x9D\x9F\xFF", u"\u0081\u009D\u0178\u00FF"},
        {"overlong", "\xC0\xAF\xE0\x80\xAF", u"\u00C0\u00AF\u00E0\u20AC\u00AF"},
        {"encoded surrogate", "\xED\xA0\x80", u"\u00ED\u00A0\u20AC"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\u00F4\u0090\u20AC\u20AC"},
        {"broken by a new lead", "\xE2\x82\xC3\xA9", u"\u00E2\u201A\u00E9"},
        {"truncated at the end", "x\xF0\x9F\x98", u"x\u00F0\u0178\u02DC"},
        {"nul kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& [name, bytes, expected] : cases) {
        EXPECT_EQ(fromUtf8(bytes), expected) << name;
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            Utf8StreamDecoder decoder;
            std::u16string got = decoder.decode(std::string_view(bytes).substr(0, cut));
            got += decoder.decode(std::string_view(bytes).substr(cut));
            EXPECT_EQ(got + decoder.flush(), expected) << name << " cut " << cut;
        }
        Utf8StreamDecoder decoder;
        std::u16string got;
        for (char byte : bytes) {
            got += decoder.decode(std::string_view(&byte, 1));
        }
        EXPECT_EQ(got + decoder.flush(), expected) << name << " byte by byte";
    }
}

TEST(Utf8Decoding, OnlyATailThatCanStillCompleteIsHeld) {
    Utf8StreamDecoder decoder;
    EXPECT_EQ(decoder.decode("\xED\xA0"), u"\u00ED\u00A0");  // a surrogate never completes
    EXPECT_FALSE(decoder.hasPending());
    EXPECT_EQ(decoder.decode("ab\xC3"), u"ab");  // a reset dropping it: the line framer's test
    EXPECT_TRUE(decoder.hasPending());
}

TEST(Utf8Encoding, RoundTripsReplacesLoneSurrogatesAndNeverCutsASurrogatePair) {
    const std::u16string text = u"za\u017C\u00F3\u0142\u0107 \u20AC\uFFFF\xD83D\xDE00";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    const std::u16string pair = u"a\U0001F600b";
    EXPECT_EQ(cutAtWholeChar(pair, 2), u"a");
    EXPECT_EQ(cutAtWholeChar(pair, 3), u"a\U0001F600");
    EXPECT_EQ(cutAtWholeChar(pair, 100), pair);
    EXPECT_EQ(cutAtWholeChar(u"a\xD83Dz", 2), u"a\xD83D");  // a lone high surrogate is whole
}

// "ab" + euro (3 bytes) + emoji (4 bytes) + "c": whole characters end at byte 0, 1, 2, 5,
// 9 and 10, and the terminator needs one byte more.
TEST(Utf8Encoding, BoundedCutsBeforeTheFirstCharacterThatDoesNotFit) {
    const std::u16string text = u"ab\u20AC\U0001F600c";
    const std::string full = toUtf8(text);
    const std::size_t expected[] = {0, 0, 1, 2, 2, 2, 5, 5, 5, 5, 9, 10, 10, 10};
    for (std::size_t capacity = 0; capacity <= 13; ++capacity) {
        std::string buffer(capacity + 8, '\x7F');
        const std::size_t written = toUtf8Bounded(text, buffer.data(), capacity);
        EXPECT_EQ(written, expected[capacity]) << "capacity " << capacity;
        if (capacity > 0) {
            EXPECT_EQ(buffer.substr(0, written + 1), full.substr(0, written) + '\0');
        }
        for (std::size_t i = capacity; i < buffer.size(); ++i) {
            ASSERT_EQ(buffer[i], '\x7F') << "capacity " << capacity << " wrote at " << i;
        }
    }
    char small[4];
    EXPECT_EQ(toUtf8Bounded(u"\xD800x", small, 3), 0u);  // U+FFFD needs three bytes
}

// Every fold is the C library's lower case, and folding twice changes nothing.
TEST(FoldCase, AgreesWithTheCLibraryAndLeavesIrcBracketsAlone) {
    // The loop below only checks folds that happen; these must happen.
    EXPECT_EQ(foldCase(u'\u0178'), u'\u00FF');
    EXPECT_EQ(foldCase(u'\uFF21'), u'\uFF41');
    EXPECT_EQ(foldCase(u'['), u'[');
    EXPECT_TRUE(equalsIgnoreCase(u"\u0141\u00D3D\u0179 #Chan", u"\u0142\u00F3d\u017A #chan"));
    EXPECT_FALSE(equalsIgnoreCase(u"nick", u"nick_"));
    EXPECT_FALSE(equalsIgnoreCase(u"\xD83D\xDE00", u"\xD83D\xDE01"));

    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) {
        GTEST_SKIP() << "no C.UTF-8 locale";
    }
    for (unsigned c = 0; c <= 0xFFFF; ++c) {
        const char16_t f = foldCase(static_cast<char16_t>(c));
        ASSERT_EQ(foldCase(f), f) << std::hex << c;
        if (f != c) {
            ASSERT_EQ(static_cast<unsigned>(std::towlower(c)), static_cast<unsigned>(f))
                << std::hex << c;
        }
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace kolu
