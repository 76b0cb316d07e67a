#include <gtest/gtest.h>

#include "platform/error_text.h"
#include "platform/files.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

class ErrorLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        ColourArray defaults{};
        OpKoloryDomyslne(defaults);
        colours.set(defaults);
        env.log.connectStatus(&printer, &colours, &connected);
        env.clock.local = SystemTime{2007, 9, 2, 11, 20, 8, 0, 0};
    }
    void debug(std::uint32_t value) { env.putDword(kSettingsKey, u"debug", value); }

    test::SettingsEnv env;
    test::RecordingPrinter printer;
    test::FakeSocketLayer sockets;
    ColourTable colours;
    bool connected = true;
};

TEST_F(ErrorLogTest, EntriesHaveStampLabelOperationCodeAndMessage) {
    debug(1);
    env.log.LogError(u"CreateFileW", u"loguj", 2);
    const std::string expected = "[2007.9.11][20:08]  loguj\t\tCreateFileW : 2\t\t";
    std::string log = env.decodedLog();
    ASSERT_EQ(log.compare(0, expected.size(), expected), 0) << log;
    std::string message = log.substr(expected.size());
    EXPECT_EQ(message, toUtf8(errorText(2)));
    EXPECT_GE(message.size(), 3u);
    EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
}

TEST_F(ErrorLogTest, TheFileIsNotPlainTextAndDecodesWithTheKey) {
    debug(1);
    env.log.LogError(u"op", u"label", 5);
    std::string raw;
    ASSERT_EQ(readWholeFile(env.dir.file("errors.log"), raw), 0);
    EXPECT_EQ(raw.find("label"), std::string::npos);
    EXPECT_NE(xorWithLogKey(raw).find("label\t\top : 5\t\t"), std::string::npos);
}

TEST_F(ErrorLogTest, NothingIsWrittenUnlessDebugIsOne) {
    env.log.LogError(u"op", u"missing debug", 1);
    debug(0);
    env.log.LogError(u"op", u"debug 0", 1);
    debug(2);
    env.log.LogError(u"op", u"debug 2", 1);
    EXPECT_FALSE(fileExists(env.dir.file("errors.log")));
}

TEST_F(ErrorLogTest, CodesAndTheirEdges) {
    debug(1);
    env.log.LogRegError(0, u"RegQueryValueEx", u"zero reg code");
    EXPECT_EQ(env.decodedLog(), "");
    env.log.LogError(u"op", u"zero code", 0);
    env.log.LogRegError(-7, u"RegSetValueEx", u"negative");
    env.log.LogError(u"op", u"unknown", 987654);
    std::string log = env.decodedLog();
    EXPECT_NE(log.find("zero code\t\top : 0\t\t"), std::string::npos);
    EXPECT_NE(log.find("negative\t\tRegSetValueEx : -7\t\t"), std::string::npos);
    // A code without a text ends its entry with a line end alone.
    EXPECT_NE(log.find("unknown\t\top : 987654\t\t\r\n"), std::string::npos);
}

TEST_F(ErrorLogTest, EntriesAreAppendedInCallOrderWithTheSameStamp) {
    debug(1);
    env.log.LogError(u"first", u"a", 1);
    env.log.LogError(u"second", u"b", 1);
    std::string log = env.decodedLog();
    std::size_t first = log.find("[2007.9.11][20:08]  a\t\tfirst");
    std::size_t second = log.find("[2007.9.11][20:08]  b\t\tsecond");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
}

TEST_F(ErrorLogTest, OverlongEntriesAreCutAtAWholeCharacter) {
    debug(1);
    std::u16string label(300, u'\u0142');  // two bytes each
    env.log.LogError(u"op", label, 1);
    std::string raw;
    readWholeFile(env.dir.file("errors.log"), raw);
    std::string log = xorWithLogKey(raw);
    std::size_t entryEnd = log.find(toUtf8(errorText(1)));
    ASSERT_NE(entryEnd, std::string::npos);
    EXPECT_LE(entryEnd, 255u);
    // The cut text is still valid UTF-8: it decodes without falling back.
    EXPECT_EQ(toUtf8(fromUtf8(log.substr(0, entryEnd))), log.substr(0, entryEnd));
}

TEST_F(ErrorLogTest, SocketErrorEndsTheConnectionEvenWithoutDebug) {
    sockets.error = kWsaEconnreset;
    env.log.LogSocketError(sockets, u"recv", u"odb");
    EXPECT_FALSE(connected);
    EXPECT_EQ(sockets.error, 0);
    ASSERT_EQ(printer.lines.size(), 1u);
    EXPECT_EQ(printer.lines[0],
              (test::PrintedLine{u"", u"*** [10054] Software caused connection abort",
                                 colours.of(LineClass::Info)}));
    EXPECT_FALSE(fileExists(env.dir.file("errors.log")));
}

TEST_F(ErrorLogTest, SocketCodeZeroIsLoggedButKeepsTheConnection) {
    debug(1);
    env.log.LogSocketError(sockets, u"select", u"odbierz");
    EXPECT_TRUE(connected);
    EXPECT_TRUE(printer.lines.empty());
    EXPECT_NE(env.decodedLog().find("odbierz\t\tselect : 0\t\t"), std::string::npos);
}

TEST_F(ErrorLogTest, WithoutAnInstallFolderTheLogGoesToTheFallback) {
    test::SettingsEnv bare;
    bare.putDword(kSettingsKey, u"debug", 1);
    bare.log.LogError(u"op", u"fallback", 3);
    EXPECT_NE(bare.decodedLog().find("fallback\t\top : 3"), std::string::npos);
}

}  // namespace
}  // namespace kolu
