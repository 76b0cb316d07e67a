#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include "tests/support/file_size_limit.h"

#include <cerrno>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "servers/server_list.h"
#include "tests/support/settings_env.h"

namespace kolu {

void PrintTo(const ServerRecord& r, std::ostream* os) {
    *os << "{" << toUtf8(r.network) << " | " << toUtf8(r.server) << " | " << toUtf8(r.ports)
        << " | " << toUtf8(r.password) << "}";
}

namespace {

using namespace std::string_literals;

std::vector<ServerRecord> records(const ServerList& list) {
    std::vector<ServerRecord> out;
    for (const ServerRecord& r : list.servers()) {
        out.push_back(r);
    }
    return out;
}

std::unique_ptr<ServerRecord> record(std::u16string network, std::u16string server) {
    return std::make_unique<ServerRecord>(ServerRecord{network, server, u"6667", u""});
}

TEST(ServerFileFormat, TheExampleLineByteForByte) {
    ServerList list;
    SrvDodajNaKoniec(list, std::make_unique<ServerRecord>(
                               ServerRecord{u"MyNet", u"10.0.0.1", u"6667,7000-7002", u""}));
    const std::string line = "MyNet\t10.0.0.1\t6667,7000-7002\t\r\n";
    EXPECT_EQ(serverFileText(list), line);
    EXPECT_EQ(records(SrvTworzListe(line)),
              (std::vector<ServerRecord>{{u"MyNet", u"10.0.0.1", u"6667,7000-7002", u""}}));
}

TEST(ServerFileFormat, WellFormedFilesRoundTripByteForByte) {
    const std::string files[] = {
        "",
        "A\tirc.a.net\t6667\t\r\nB\tirc.b.net\t6665-6669\tsecret\r\n",
        // UTF-8 text and fields filled to their room.
        "\xC5\x81\xC3\xB3\x64\xC5\xBA\tserwer.pl\t6667,7000\tha\xC5\x82o\r\n" +
            std::string(63, 'n') + "\t" + std::string(127, 's') + "\t" + std::string(63, '1') +
            "\t" + std::string(63, 'p') + "\r\n",
        // The password runs to the line end, TABs and all.
        "N\ts\t1\tpa\tss\r\n",
    };
    for (const std::string& file : files) {
        EXPECT_EQ(serverFileText(SrvTworzListe(file)), file);
    }
}

struct ParseCase {
    const char* name;
    std::string text;
    std::vector<ServerRecord> servers;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class MalformedFiles : public ::testing::TestWithParam<ParseCase> {};

TEST_P(MalformedFiles, ParseToTheDocumentedServers) {
    EXPECT_EQ(records(SrvTworzListe(GetParam().text)), GetParam().servers);
}

const ServerRecord kA{u"A", u"a", u"1", u"pa"};
const ServerRecord kB{u"B", u"b", u"2", u""};

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedFiles,
    ::testing::Values(
        ParseCase{"empty", "", {}}, ParseCase{"one line end", "\r\n", {}},
        ParseCase{"two lines", "A\ta\t1\tpa\r\nB\tb\t2\t\r\n", {kA, kB}},
        ParseCase{"no line end at the end", "A\ta\t1\tpa\r\nB\tb\t2\t", {kA, kB}},
        ParseCase{"a lone CR at the end", "A\ta\t1\tpa\r", {kA}},
        ParseCase{"lone LF ends a line", "A\ta\t1\tpa\nB\tb\t2\t\n", {kA, kB}},
        ParseCase{
            "blank lines are skipped", "\r\nA\ta\t1\tpa\r\n\n\r\n\t\t\t\r\nB\tb\t2\t", {kA, kB}},
        ParseCase{
            "missing fields are empty",
            "Net\tserver\r\nOnly\r\nX\ty\t7\r\n",
            {{u"Net", u"server", u"", u""}, {u"Only", u"", u"", u""}, {u"X", u"y", u"7", u""}}},
        ParseCase{"a CR inside a field stays", "A\rB\ta\t1\t\r\n", {{u"A\rB", u"a", u"1", u""}}},
        ParseCase{"a NUL ends its field", "A\0junk\ta\t1\0x\tpa\0\r\n\0\0\0\r\n"s, {kA}},
        ParseCase{"invalid UTF-8 reads as Windows-1252",
                  "Caf\xE9\t\x80\t1\t\r\n",
                  {{u"Caf\u00E9", u"\u20AC", u"1", u""}}}));

TEST(ServerFileFormat, OverlongFieldsAreCutToTheirRoomAtAWholeCharacter) {
    const std::string huge(10000, 'x');
    const ServerList list =
        SrvTworzListe(huge + "\t" + huge + "\t" + huge + "\t" + huge + "\r\n" + "B\tb\t2\t\r\n");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.server(0)->network, std::u16string(63, u'x'));
    EXPECT_EQ(list.server(0)->server, std::u16string(127, u'x'));
    EXPECT_EQ(list.server(0)->ports, std::u16string(63, u'x'));
    EXPECT_EQ(list.server(0)->password, std::u16string(63, u'x'));
    EXPECT_EQ(*list.server(1), kB);

    // 40 characters outside the BMP are 80 code units: 31 fit whole in 63.
    std::string emoji;
    for (int i = 0; i < 40; ++i) {
        emoji += "\xF0\x9F\x98\x80";
    }
    const ServerList cut = SrvTworzListe(emoji + "\ts\t1\t\r\n");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut.server(0)->network.size(), 62u);
    EXPECT_EQ(cut.server(0)->network.substr(60), u"\U0001F600");
}

TEST(ServerFileFormat, WritingKeepsEveryLineWhole) {
    ServerList list;
    SrvDodajNaKoniec(list, std::make_unique<ServerRecord>(
                               ServerRecord{u"N\tet", u"s\r\nx", u"1\n2", u"p\tw\0cut"}));
    SrvDodajNaKoniec(list, std::make_unique<ServerRecord>(
                               ServerRecord{std::u16string(70, u'n'), u"s", u"1", u""}));
    const std::string text = serverFileText(list);
    EXPECT_EQ(text, "N et\ts  x\t1 2\tp\tw\r\n" + std::string(63, 'n') + "\ts\t1\t\r\n");
    EXPECT_EQ(SrvTworzListe(text).size(), 2u);
}

TEST(ServerListOps, AppendIndexAndClosingRecord) {
    ServerList list;
    EXPECT_EQ(SrvIndeks(list, list.closing()), 0);
    EXPECT_EQ(list.recordAt(-1), list.closing());
    EXPECT_EQ(list.recordAt(0), list.closing());

    ServerRecord* a = SrvDodajNaKoniec(list, record(u"A", u"a"));
    ServerRecord* b = SrvDodajNaKoniec(list, record(u"B", u"b"));
    ServerRecord* c = SrvDodajNaKoniec(list, record(u"C", u"c"));
    EXPECT_EQ(SrvDodajNaKoniec(list, nullptr), nullptr);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(SrvIndeks(list, a), 0);
    EXPECT_EQ(SrvIndeks(list, b), 1);
    EXPECT_EQ(SrvIndeks(list, c), 2);
    EXPECT_EQ(SrvIndeks(list, list.closing()), 3);

    ServerRecord stranger;
    EXPECT_EQ(SrvIndeks(list, &stranger), -1);
    EXPECT_EQ(SrvIndeks(list, nullptr), -1);
    ServerList other;
    EXPECT_EQ(SrvIndeks(list, other.closing()), -1);

    EXPECT_EQ(list.recordAt(-7), a);
    EXPECT_EQ(list.recordAt(1), b);
    EXPECT_EQ(list.recordAt(3), list.closing());
    EXPECT_EQ(list.recordAt(1000), list.closing());
    EXPECT_TRUE(list.isServer(c));
    EXPECT_FALSE(list.isServer(list.closing()));
    EXPECT_EQ(*list.closing(), ServerRecord{});
}

TEST(ServerListOps, RemovingFirstMiddleAndLast) {
    struct Case {
        int removed;
        std::vector<std::u16string> left;
    };
    for (const Case& c :
         {Case{0, {u"B", u"C", u"D"}}, Case{1, {u"A", u"C", u"D"}}, Case{3, {u"A", u"B", u"C"}}}) {
        ServerList list;
        std::vector<ServerRecord*> added;
        for (const char16_t* name : {u"A", u"B", u"C", u"D"}) {
            added.push_back(SrvDodajNaKoniec(list, record(name, u"s")));
        }
        EXPECT_EQ(SrvUsunRekord(list, added[c.removed]), 1);
        std::vector<std::u16string> left;
        for (const ServerRecord& r : list.servers()) {
            left.push_back(r.network);
        }
        EXPECT_EQ(left, c.left) << "removed " << c.removed;
        EXPECT_EQ(SrvIndeks(list, list.closing()), 3);
        // Records that stay keep their addresses.
        for (int i = 0; i < 4; ++i) {
            if (i != c.removed) {
                EXPECT_EQ(SrvIndeks(list, added[i]), i < c.removed ? i : i - 1);
            }
        }
    }
}

TEST(ServerListOps, RemovingWhatIsNotAServerChangesNothing) {
    ServerList list;
    SrvDodajNaKoniec(list, record(u"A", u"a"));
    ServerRecord stranger;
    EXPECT_EQ(SrvUsunRekord(list, list.closing()), 0);
    EXPECT_EQ(SrvUsunRekord(list, &stranger), 0);
    EXPECT_EQ(SrvUsunRekord(list, nullptr), 0);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(SrvUsunRekord(list, list.server(0)), 1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.recordAt(-1), list.closing());
}

// servers.txt in a fresh installation folder, with the error log on.
class ServerFile : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
    }
    std::string path() const { return env.dir.file("servers.txt"); }
    void put(const std::string& bytes) { ASSERT_EQ(writeFileAtomically(path(), bytes), 0); }
    std::string contents() const {
        std::string bytes;
        EXPECT_EQ(readWholeFile(path(), bytes), 0);
        return bytes;
    }
    unsigned mode() const {
        struct stat st {};
        EXPECT_EQ(::stat(path().c_str(), &st), 0);
        return st.st_mode & 0777;
    }

    test::SettingsEnv env;
    ServerListServices services{env.settings, env.log, env.clock, env.random};
};

TEST_F(ServerFile, AMissingFileIsCreatedEmptyWithOwnerOnlyAccess) {
    const ServerList list = SrvCzytajPlik(services);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.readError(), 0);
    EXPECT_EQ(contents(), "");
    EXPECT_EQ(mode(), 0600u);
    EXPECT_EQ(env.decodedLog(), "");
}

TEST_F(ServerFile, ReadingThenSavingReproducesTheFile) {
    const std::string file = "A\ta.net\t6667\tpw\r\nB\tb.net\t7000-7002\t\r\nC\tc\t1\t\r\n";
    put(file);
    const ServerList list = SrvCzytajPlik(services);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(SrvZapiszPlik(SrvCzytajPlik(services), services), 1);
    EXPECT_EQ(contents(), file);
}

TEST_F(ServerFile, SavingReplacesTheFileWithOwnerOnlyAccess) {
    put("old\tline\t1\t\r\n");
    ASSERT_EQ(::chmod(path().c_str(), 0644), 0);
    ServerList list = SrvCzytajPlik(services);
    SrvUsunRekord(list, list.server(0));
    SrvDodajNaKoniec(list, record(u"New", u"n"));
    EXPECT_EQ(SrvZapiszPlik(std::move(list), services), 1);
    EXPECT_EQ(contents(), "New\tn\t6667\t\r\n");
    EXPECT_EQ(mode(), 0600u);

    EXPECT_EQ(SrvZapiszPlik(ServerList{}, services), 1);
    EXPECT_EQ(contents(), "");
}

TEST_F(ServerFile, AFailedSaveLeavesTheOldFileAndIsReported) {
    const std::string old = "Old\to.net\t6667\t\r\n";
    put(old);
    ServerList list;
    for (int i = 0; i < 200; ++i) {
        SrvDodajNaKoniec(list, record(u"Network", u"irc.example.net"));
    }
    {
        test::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.set());
        EXPECT_EQ(SrvZapiszPlik(std::move(list), services), 0);
    }
    EXPECT_EQ(contents(), old);
    EXPECT_NE(env.decodedLog().find("SrvZapiszPlik\t\tWriteFile : " + std::to_string(EFBIG)),
              std::string::npos)
        << env.decodedLog();
    // No temporary file is left beside it.
    std::vector<std::string> names;
    listFolder(env.dir.path(), "*.tmp", names);
    EXPECT_TRUE(names.empty());
}

TEST_F(ServerFile, AFileThatCannotBeReadIsReportedAndNeverReplaced) {
    ASSERT_EQ(::mkdir(path().c_str(), 0700), 0);
    const ServerList unreadable = SrvCzytajPlik(services);
    EXPECT_TRUE(unreadable.empty());
    EXPECT_EQ(unreadable.readError(), EISDIR);
    EXPECT_NE(env.decodedLog().find("SrvCzytajPlik\t\tCreateFileW : " + std::to_string(EISDIR)),
              std::string::npos);
    ASSERT_EQ(::rmdir(path().c_str()), 0);

    // Servers added to a list that could not be read must not replace the file.
    put("Kept\tk\t1\t\r\n");
    ServerList list;
    list.setReadError(EACCES);
    SrvDodajNaKoniec(list, record(u"New", u"n"));
    EXPECT_EQ(SrvZapiszPlik(std::move(list), services), 0);
    EXPECT_EQ(contents(), "Kept\tk\t1\t\r\n");
    EXPECT_NE(env.decodedLog().find("SrvZapiszPlik\t\tCreateFileW : " + std::to_string(EACCES)),
              std::string::npos);
}

class ConnectionDataTest : public ServerFile {
  protected:
    void SetUp() override {
        ServerFile::SetUp();
        put("A\ta.net\t6667\tpw\r\nB\tb.net\t7000-7002\t\r\nC\tc.net\t6669\t\r\n");
        env.random.values = {2};
    }
};

TEST_F(ConnectionDataTest, ThePositionSettingChoosesTheServer) {
    struct Case {
        std::optional<std::int32_t> server;  // nullopt: the value is missing
        const char* host;                    // nullptr: no server there
        const char* password;
        std::uint16_t port;
    };
    const Case cases[] = {
        {std::nullopt, "a.net", "pw", 6667},
        {-5, "a.net", "pw", 6667},
        {0, "a.net", "pw", 6667},
        {1, "b.net", "", 7002},
        {2, "c.net", "", 6669},
        {3, nullptr, "", 0},
        {100, nullptr, "", 0},
    };
    for (const Case& c : cases) {
        if (c.server) {
            env.settings.RegZapiszLONG(u"server", *c.server);
        }
        ConnectionData data{"untouched", "untouched", 42};
        const int found = SrvConnectionData(services, data);
        const std::string label = c.server ? std::to_string(*c.server) : "missing";
        if (c.host == nullptr) {
            EXPECT_EQ(found, 0) << label;
            EXPECT_EQ(data.host, "untouched") << label;
            EXPECT_EQ(data.password, "untouched") << label;
            EXPECT_EQ(data.port, 42) << label;
        } else {
            EXPECT_EQ(found, 1) << label;
            EXPECT_EQ(data.host, c.host) << label;
            EXPECT_EQ(data.password, c.password) << label;
            EXPECT_EQ(data.port, c.port) << label;
        }
    }
}

TEST_F(ConnectionDataTest, EveryAttemptDrawsAgainSeededWithTheTickCount) {
    env.settings.RegZapiszLONG(u"server", 1);
    env.random.values = {0, 1};
    ConnectionData data;
    env.clock.ticks = 5000;
    ASSERT_EQ(SrvConnectionData(services, data), 1);
    EXPECT_EQ(data.port, 7000);
    env.clock.ticks = 10000;
    ASSERT_EQ(SrvConnectionData(services, data), 1);
    EXPECT_EQ(data.port, 7001);
    EXPECT_EQ(env.random.seeded, 10000u);
    EXPECT_EQ(env.random.seedCalls, 2);
}

TEST_F(ConnectionDataTest, HostAndPasswordAreCutToTheirBuffersAtAWholeCharacter) {
    std::string wide127, wide63;
    for (int i = 0; i < 127; ++i) {
        wide127 += "\xC5\x82";  // two bytes each
    }
    for (int i = 0; i < 63; ++i) {
        wide63 += "\xC5\x82";
    }
    put("N\t" + wide127 + "\t1\t" + wide63 + "\r\nN\t" + std::string(127, 'x') + "\t1\t" +
        std::string(63, 'p') + "\r\n");
    ConnectionData data;
    ASSERT_EQ(SrvConnectionData(services, data), 1);
    EXPECT_EQ(data.host, wide127.substr(0, 126));
    EXPECT_EQ(data.password, wide63.substr(0, 62));

    env.settings.RegZapiszLONG(u"server", 1);
    ASSERT_EQ(SrvConnectionData(services, data), 1);
    EXPECT_EQ(data.host, std::string(127, 'x'));
    EXPECT_EQ(data.password, std::string(63, 'p'));
}

TEST_F(ConnectionDataTest, AServerWithoutAUsablePortGetsPortZero) {
    put("N\thost\tirc\t\r\n");
    ConnectionData data;
    EXPECT_EQ(SrvConnectionData(services, data), 1);
    EXPECT_EQ(data.host, "host");
    EXPECT_EQ(data.port, 0);
}

TEST_F(ConnectionDataTest, NoFileMeansNoServerAndAnEmptyFile) {
    ASSERT_EQ(::unlink(path().c_str()), 0);
    ConnectionData data;
    EXPECT_EQ(SrvConnectionData(services, data), 0);
    EXPECT_EQ(contents(), "");
    EXPECT_EQ(mode(), 0600u);
}

}  // namespace
}  // namespace kolu
