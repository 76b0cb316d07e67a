// Text form of the settings store: each kind of value's line, round trips, what the
// parser tolerates (hand edits, CRLF, BOM, comments) and what it rejects, by line.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>

#include "platform/registry.h"
#include "platform/text.h"

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
void PrintTo(const ParsedKey& key, std::ostream* os) {
    *os << '[' << toUtf8(key.path) << "] with " << key.values.size() << " values";
}

namespace {

using namespace std::literals;

std::string wide(std::u16string_view text, bool terminator = true) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return terminator ? bytes + "\0\0"s : bytes;
}

struct LineCase {
    const char* what;
    ParsedValue value;
    std::string line;  // as serialized, without the line end
};

const LineCase kLines[] = {
    {"dword zero", {u"server", kRegDword, "\0\0\0\0"s}, "\"server\"=dword:00000000"},
    {"dword all ones", {u"x", kRegDword, "\xFF\xFF\xFF\xFF"s}, "\"x\"=dword:ffffffff"},
    {"dword byte order", {u"Fonts", kRegDword, "\x22\x01\0\0"s}, "\"Fonts\"=dword:00000122"},
    {"plain string", {u"nick", kRegSz, wide(u"kolu42")}, "\"nick\"=\"kolu42\""},
    {"empty string", {u"bmpfile", kRegSz, wide(u"")}, "\"bmpfile\"=\"\""},
    {"escapes",
     {u"q", kRegSz, wide(u"a\"b\\c\r\nd\te\x01\x7F")},
     R"("q"="a\"b\\c\r\nd\te\x01\x7F")"},
    {"non-BMP and accents",
     {u"s", kRegSz, wide(u"\U0001F600 \u00E9\u017C")},
     "\"s\"=\"\xF0\x9F\x98\x80 \xC3\xA9\xC5\xBC\""},
    {"lone surrogates", {u"s", kRegSz, wide(u"a\xD800 b\xDC00")}, R"("s"="a\uD800 b\uDC00")"},
    {"embedded zero", {u"s", kRegSz, wide(u"a\0b"sv)}, R"("s"="a\x00b")"},
    {"padded to its buffer",
     {u"ignore", kRegSz, wide(u"alice ", false) + std::string(1990, '\0')},
     "\"ignore\"=sz(2002):\"alice \""},
    {"no terminator", {u"s", kRegSz, wide(u"ab", false)}, "\"s\"=sz(4):\"ab\""},
    {"no bytes at all", {u"s", kRegSz, ""}, "\"s\"=sz(0):\"\""},
    {"odd size ending in zero", {u"s", kRegSz, "a\0\0"s}, "\"s\"=sz(3):\"a\""},
    {"odd size ending in a byte", {u"s", kRegSz, "a\0b"s}, "\"s\"=hex(1):61,00,62"},
    {"binary with zeros", {u"kolory", kRegBinary, "\0\xD9\0\xFF"s}, "\"kolory\"=hex:00,d9,00,ff"},
    {"empty binary", {u"b", kRegBinary, ""}, "\"b\"=hex:"},
    {"short dword", {u"d", kRegDword, "\1\2\3"s}, "\"d\"=hex(4):01,02,03"},
    {"other type", {u"m", 7, "a\0\0\0"s}, "\"m\"=hex(7):61,00,00,00"},
    {"odd name",
     {u"we\"ird\\ name\n", kRegDword, "\1\0\0\0"s},
     R"("we\"ird\\ name\n"=dword:00000001)"},
    {"empty name", {u"", kRegSz, wide(u"d")}, R"(""="d")"},
};

class RegistryFormatLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(RegistryFormatLine, SerializesToItsLineAndParsesBack) {
    const LineCase& c = GetParam();
    const std::vector<ParsedKey> keys{{u"SOFTWARE\\Marvoline\\Kolu", {c.value}}};
    const std::string text = serialize(keys);
    EXPECT_NE(text.find("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n" + c.line + "\n"),
              std::string::npos)
        << text;
    std::vector<ParsedKey> back;
    int badLine = 0;
    ASSERT_TRUE(parse(text, back, &badLine)) << "line " << badLine << " of\n" << text;
    EXPECT_EQ(back, keys);
}

INSTANTIATE_TEST_SUITE_P(Values, RegistryFormatLine, ::testing::ValuesIn(kLines),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(RegistryFormat, KeepsKeysAndValuesInOrderWithRootAndDuplicates) {
    const std::vector<ParsedKey> keys{
        {u"SOFTWARE\\Marvoline\\Kolu", {{u"z", kRegDword, "\1\0\0\0"s}, {u"a", kRegSz, wide(u"")}}},
        {u"", {{u"atRoot", kRegBinary, "\x01"s}}},
        {u"SOFTWARE\\Marvoline\\Kolu\\sounds", {}},
        {u"software\\marvoline\\kolu", {{u"Z", kRegDword, "\2\0\0\0"s}}},
        {u"SOFTWARE\\Apps\\Marvoline Kolu]", {{u"InstallDir", kRegSz, wide(u"/home/u/")}}},
    };
    std::vector<ParsedKey> back;
    ASSERT_TRUE(parse(serialize(keys), back));
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
        "\"f\"=hex(1):61,00\r\n";
    std::vector<ParsedKey> keys;
    int badLine = 0;
    ASSERT_TRUE(parse(text, keys, &badLine)) << "line " << badLine;
    const std::vector<ParsedKey> expected{{u"SOFTWARE\\Kolu",
                                           {{u"a", kRegDword, "\x1F\0\0\0"s},
                                            {u"b", kRegBinary, "\xD9\xE9\0"s},
                                            {u"c", kRegSz, wide(u"x", false) + "\0\0\0\0\0\0"s},
                                            // a text longer than its size keeps a terminator
                                            {u"d", kRegSz, wide(u"long")},
                                            // not UTF-8: read as Windows-1252
                                            {u"e", kRegSz, wide(u"caf\u00E9")},
                                            {u"f", 1, "a\0"s}}}};
    EXPECT_EQ(keys, expected);
    EXPECT_TRUE(parse("", keys));
    EXPECT_TRUE(keys.empty());
}

struct RejectCase {
    const char* text;
    int line;
};

class RegistryFormatReject : public ::testing::TestWithParam<RejectCase> {};

TEST_P(RegistryFormatReject, ReportsTheLine) {
    std::vector<ParsedKey> keys{{u"left over", {}}};
    int badLine = 0;
    EXPECT_FALSE(parse(GetParam().text, keys, &badLine));
    EXPECT_EQ(badLine, GetParam().line);
    EXPECT_TRUE(keys.empty());
}

const char kKey[] = "[HKEY_LOCAL_MACHINE\\K]\n";

INSTANTIATE_TEST_SUITE_P(
    Lines, RegistryFormatReject,
    ::testing::Values(
        RejectCase{"\"a\"=dword:00000001\n", 1},  // value before any key
        RejectCase{"; c\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n", 3},
        RejectCase{"[HKEY_LOCAL_MACHINEX]\n", 1}, RejectCase{"[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 1},
        RejectCase{"[HKEY_LOCAL_MACHINE\\A\\]\n", 1}, RejectCase{"[HKEY_LOCAL_MACHINE\\A\n", 1},
        RejectCase{"[HKEY_LOCAL_MACHINE\\\\Software]\n\"nick\"=\"x\"\n", 1},  // an empty first part
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\ngarbage\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\n\"a=dword:0\n", 3},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\" \"b\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\" x\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\\q\"=\"b\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"\\x4\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"\\uD80\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"b\\\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:123456789\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:12x\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:0g\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:001\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex:00,\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=hex(:00\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=sz():\"\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=sz(99999999999999999999):\"\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=sz(1048577):\"\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=str:\"x\"\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\n", 2},
        RejectCase{"[HKEY_LOCAL_MACHINE\\K]\n\xEF\xBB\xBF\"a\"=\"b\"\n", 2}));

TEST(RegistryFormat, AcceptsTheLargestStringSize) {
    std::vector<ParsedKey> keys;
    ASSERT_TRUE(parse(std::string(kKey) + "\"a\"=sz(1048576):\"x\"\n", keys));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].values.at(0).bytes.size(), 1048576u);
}

}  // namespace
}  // namespace kolu::registry_format
