#include <gtest/gtest.h>

#include <ostream>

#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/wide_bytes.h"

namespace kolu::registry_format {

bool operator==(const ParsedValue& a, const ParsedValue& b) {
    return a.name == b.name && a.type == b.type && a.bytes == b.bytes;
}
bool operator==(const ParsedKey& a, const ParsedKey& b) {
    return a.path == b.path && a.values == b.values;
}
void PrintTo(const ParsedValue& value, std::ostream* os) {
    *os << '"' << toUtf8(value.name) << "\" type " << value.type << " bytes";
    for (unsigned char c : value.bytes) {
        *os << ' ' << std::hex << static_cast<int>(c) << std::dec;
    }
}

namespace {

using namespace std::literals;

using test::wide;

TEST(RegistryFormat, EachKindOfValueHasItsLineAndAllReadBackInOrder) {
    const std::pair<ParsedValue, std::string> cases[] = {
        {{u"Fonts", kRegDword, "\x22\x01\0\0"s}, "\"Fonts\"=dword:00000122"},
        {{u"q", kRegSz, wide(u"a\"b\\c\r\nd\te\x01\x7F")}, R"("q"="a\"b\\c\r\nd\te\x01\x7F")"},
        {{u"s", kRegSz, wide(u"\U0001F600 \u00E9")}, "\"s\"=\"\xF0\x9F\x98\x80 \xC3\xA9\""},
        {{u"s", kRegSz, wide(u"a\xD800 b\xDC00")}, R"("s"="a\uD800 b\uDC00")"},
        {{u"s", kRegSz, wide(u"a\0b"sv)}, R"("s"="a\x00b")"},
        {{u"ignore", kRegSz, wide(u"alice ", false) + std::string(1990, '\0')},
         "\"ignore\"=sz(2002):\"alice \""},
        {{u"s", kRegSz, ""}, "\"s\"=sz(0):\"\""},
        {{u"s", kRegSz, "a\0\0"s}, "\"s\"=sz(3):\"a\""},
        {{u"s", kRegSz, "a\0b"s}, "\"s\"=hex(1):61,00,62"},
        {{u"kolory", kRegBinary, "\0\xD9\0\xFF"s}, "\"kolory\"=hex:00,d9,00,ff"},
        {{u"b", kRegBinary, ""}, "\"b\"=hex:"},
        {{u"d", kRegDword, "\1\2\3"s}, "\"d\"=hex(4):01,02,03"},
        {{u"m", 7, "a\0\0\0"s}, "\"m\"=hex(7):61,00,00,00"},
        {{u"we\"ird\\ name\n", kRegDword, "\1\0\0\0"s}, R"("we\"ird\\ name\n"=dword:00000001)"},
        {{u"", kRegSz, wide(u"d")}, R"(""="d")"},
    };
    // Keys keep their order, spelling and duplicates; the root and an empty key too.
    std::vector<ParsedKey> keys{{u"SOFTWARE\\Kolu", {}},
                                {u"", {{u"atRoot", kRegBinary, "\x01"s}}},
                                {u"SOFTWARE\\Kolu\\sounds", {}},
                                {u"software\\kolu", {{u"Z", kRegDword, "\2\0\0\0"s}}},
                                {u"SOFTWARE\\Apps\\Marvoline Kolu]", {}}};
    for (const auto& [value, line] : cases) {
        keys[0].values.push_back(value);
    }
    const std::string text = serialize(keys);
    EXPECT_NE(text.find("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kolu]\n\"Fonts\"=dword:00000122\n"),
              std::string::npos)
        << text;
    for (const auto& [value, line] : cases) {
        EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line;
    }
    std::vector<ParsedKey> back;
    int badLine = 0;
    ASSERT_TRUE(parse(text, back, &badLine)) << "line " << badLine << " of\n" << text;
    EXPECT_EQ(back, keys);
}

TEST(RegistryFormat, ToleratesBomCrlfBlankLinesCommentsAndHandEdits) {
    const std::string text =
        "\xEF\xBB\xBF; written by hand\r\n"
        "\r\n"
        "  [hkey_local_machine\\SOFTWARE\\Kolu]  \r\n"
        "   ; indented comment\r\n"
        "\t\"a\" = DWORD:1f\r\n"
        "\"b\"=Hex: D9, e9 ,0\r\n"
        "\"c\"=SZ(8):\"x\"\r\n"
        "\"d\"=sz(2):\"long\"\r\n"
        "\"e\"=\"caf\xE9\"\r\n"
        "\"f\"=hex(1):61,00\r\n"
        "\"g\"=sz(1048576):\"\"\r\n";
    std::vector<ParsedKey> keys;
    int badLine = 0;
    ASSERT_TRUE(parse(text, keys, &badLine)) << "line " << badLine;
    const std::vector<ParsedKey> expected{
        {u"SOFTWARE\\Kolu",
         {{u"a", kRegDword, "\x1F\0\0\0"s},
          {u"b", kRegBinary, "\xD9\xE9\0"s},
          {u"c", kRegSz, wide(u"x", false) + "\0\0\0\0\0\0"s},
          {u"d", kRegSz, wide(u"long")},       // a text longer than its size keeps a terminator
          {u"e", kRegSz, wide(u"caf\u00E9")},  // not UTF-8: read as Windows-1252
          {u"f", 1, "a\0"s},
          {u"g", kRegSz, std::string(1048576, '\0')}}}};  // the largest size
    EXPECT_EQ(keys, expected);
    EXPECT_TRUE(parse("", keys));
    EXPECT_TRUE(keys.empty());
}

TEST(RegistryFormat, RejectsAMalformedLineAndReportsIt) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\K]\n";
    const std::pair<std::string, int> cases[] = {
        {"\"a\"=dword:00000001\n", 1},  // a value before any key
        {"; c\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n", 3},
        {"[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 1},
        {"[HKEY_LOCAL_MACHINE\\A\n", 1},
        {key + "garbage\n", 2},
        {key + "\"a\"=\"b\" x\n", 2},
        {key + "\"a\"=\"\\x4\"\n", 2},
        {key + "\"a\"=\"b\\\"\n", 2},
        {key + "\"a\"=dword:123456789\n", 2},
        {key + "\"a\"=hex:001\n", 2},
        {key + "\"a\"=hex:00,\n", 2},
        {key + "\"a\"=sz(99999999999999999999):\"\"\n", 2},
        {key + "\"a\"=sz(1048577):\"\"\n", 2},
        {key + "\"a\"=\n", 2},
        {key + "\xEF\xBB\xBF\"a\"=\"b\"\n", 2},  // a byte order mark only at the start
    };
    for (const auto& [text, line] : cases) {
        std::vector<ParsedKey> keys{{u"left over", {}}};
        int badLine = 0;
        EXPECT_FALSE(parse(text, keys, &badLine)) << text;
        EXPECT_EQ(badLine, line) << text;
        EXPECT_TRUE(keys.empty()) << text;
    }
}

}  // namespace
}  // namespace kolu::registry_format
