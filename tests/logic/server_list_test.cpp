// servers.txt and its port lists; the servers fuzz corpus replay checks round
// trips and the ports against a model.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "servers/port_list.h"
#include "servers/server_choice.h"
#include "servers/server_list.h"
#include "tests/logic/logic_util.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/settings_env.h"

namespace kolu {

namespace {

using namespace std::string_literals;
using Records = std::vector<ServerRecord>;
using Texts = std::vector<std::u16string>;

ServerList listOf(std::initializer_list<std::pair<std::u16string, std::u16string>> servers) {
    ServerList list;
    for (const auto& [network, server] : servers) {
        SrvDodajNaKoniec(
            list, std::make_unique<ServerRecord>(ServerRecord{network, server, u"6667", u""}));
    }
    return list;
}

TEST(ServerFileFormat, MalformedFilesParseToTheServersTheyHold) {
    const ServerRecord a{u"A", u"a", u"1", u"pa"}, b{u"B", u"b", u"2", u""};
    const std::pair<std::string, Records> cases[] = {
        {"\r\n", {}},
        {"A\ta\t1\tpa\r", {a}},
        {"A\ta\t1\tpa\nB\tb\t2\t\n", {a, b}},
        {"\r\nA\ta\t1\tpa\r\n\n\r\n\t\t\t\r\nB\tb\t2\t", {a, b}},  // blank lines skipped, no end
        {"Net\tserver\r\nOnly\r\n", {{u"Net", u"server", u"", u""}, {u"Only", u"", u"", u""}}},
        {"A\rB\ta\t1\t\r\n", {{u"A\rB", u"a", u"1", u""}}},
        {"A\0junk\ta\t1\0x\tpa\0\r\n\0\0\0\r\n"s, {a}},                      // a NUL ends its field
        {"Caf\xE9\t\x80\t1\t\r\n", {{u"Caf\u00E9", u"\u20AC", u"1", u""}}},  // Windows-1252
        // Overlong fields are cut to their room at a whole character: 40 characters
        // outside the BMP are 80 code units, 31 fit whole in 63.
        {toUtf8(test::repeat(u"\U0001F600", 40)) + "\t" + std::string(10000, 's') +
             "\t1\t\r\nB\tb\t2\t",
         {{test::repeat(u"\U0001F600", 31), std::u16string(127, u's'), u"1", u""}, b}},
    };
    for (const auto& [text, expected] : cases) {
        const ServerList list = SrvTworzListe(text);
        EXPECT_EQ(Records(list.servers().begin(), list.servers().end()), expected) << text;
    }
}

class ServerFile : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
    }
    std::string path() const { return env.dir.file("servers.txt"); }
    // "found host password port" of the server the settings choose.
    std::string connection() {
        ConnectionData data{"-", "-", 42};
        const int found = SrvConnectionData(services, data);
        return std::to_string(found) + " " + data.host + " " + data.password + " " +
               std::to_string(data.port);
    }

    test::SettingsEnv env;
    ServerListServices services{env.settings, env.log, env.clock, env.random};
};

TEST_F(ServerFile, AFailedSaveIsLoggedARefusedOneKeepsTheFileAndASavedOneIsOwnerOnly) {
    const std::string old = "Old\to.net\t6667\t\r\n";
    env.write("servers.txt", old);
    ASSERT_EQ(::chmod(path().c_str(), 0644), 0);
    {
        test::FileSizeLimit limit(100);  // room for the log's entry, not the file
        ASSERT_TRUE(limit.set());
        EXPECT_EQ(SrvZapiszPlik(listOf({{u"Network", std::u16string(120, u's')}}), services), 0);
    }
    EXPECT_LE(1u, env.logCount("SrvZapiszPlik\t\tWriteFile : " + std::to_string(EFBIG)));

    EXPECT_EQ(SrvZapiszPlik(listOf({{u"N", u"n"}}), services), 1);
    EXPECT_EQ(env.read("servers.txt"), "N\tn\t6667\t\r\n");
    EXPECT_EQ(env.dir.mode("servers.txt"), 0600u);

    // A file that cannot be read is reported and never replaced.
    ASSERT_EQ(::remove(path().c_str()), 0);
    ASSERT_EQ(::mkdir(path().c_str(), 0700), 0);
    const ServerList unreadable = SrvCzytajPlik(services);
    EXPECT_TRUE(unreadable.empty());
    EXPECT_EQ(unreadable.readError(), EISDIR);
    EXPECT_LE(1u, env.logCount("SrvCzytajPlik\t\tCreateFileW : " + std::to_string(EISDIR)));
    ASSERT_EQ(::rmdir(path().c_str()), 0);

    env.write("servers.txt", "Kept\tk\t1\t\r\n");
    ServerList list = listOf({{u"New", u"n"}});
    list.setReadError(EACCES);
    EXPECT_EQ(SrvZapiszPlik(std::move(list), services), 0);
    EXPECT_EQ(env.read("servers.txt"), "Kept\tk\t1\t\r\n");
    EXPECT_LE(1u, env.logCount("SrvZapiszPlik\t\tCreateFileW : " + std::to_string(EACCES)));
}

// The port is drawn as the port choice test shows.
TEST_F(ServerFile, ThePositionSettingChoosesTheServer) {
    // A missing file gives no server and is created empty, for the owner only.
    EXPECT_EQ(connection(), "0 - - 42");
    EXPECT_EQ(env.read("servers.txt"), "");
    EXPECT_EQ(env.dir.mode("servers.txt"), 0600u);
    env.write("servers.txt", "A\ta.net\t6667\tpw\r\nB\tb.net\t7000-7002\t\r\nC\tc.net\tirc\t\r\n");
    env.random.values = {2};
    for (auto [server, found] :
         {std::pair{-5, "1 a.net pw 6667"}, {1, "1 b.net  7002"}, {3, "0 - - 42"}}) {
        env.settings.RegZapiszLONG(u"server", server);
        EXPECT_EQ(connection(), found) << server;
    }
}

// The list's ports, a TLS port as its negative.
std::vector<std::int32_t> expand(const PortList& list) {
    std::vector<std::int32_t> ports;
    for (int i = 0; i < list.count(); ++i) {
        ports.push_back(list.tlsAt(i) ? -list.at(i) : list.at(i));
    }
    return ports;
}

TEST(PortList, GivesThePortsInTextOrderBoundedWithoutOverflow) {
    const std::pair<std::u16string, std::vector<std::int32_t>> cases[] = {
        {u"6665-6667,6666", {6665, 6666, 6667, 6666}},  // a port listed twice is twice as likely
        {u"7000-6667,,irc,0,65536,1", {1}},  // reversed ranges, empty pieces and words add nothing
        {u" 12abc , 7000 - 7001 ", {12, 7000, 7001}},  // blanks, then digits up to the first other
        // A leading '+' (after blanks) makes the piece's ports TLS ones.
        {u"6667, +6697-6698", {6667, -6697, -6698}},
        {u"6697-+6698", {6697, 6698}},
        {u"6667-6669-7000,6667--6669", {6667, 6668, 6669}},  // the high end's "-" is its sign
        {u"-3,65534-99999999999999,70000-80000", {1, 2, 3, 65534, 65535}},  // ends are clamped
    };
    PortList list;
    SrvTworzTbPortow(u"1-10", list);  // parsing replaces what the list held
    for (const auto& [text, ports] : cases) {
        EXPECT_EQ(SrvTworzTbPortow(text, list), static_cast<int>(ports.size()));
        EXPECT_EQ(expand(list), ports) << toUtf8(text);
    }
    EXPECT_EQ(SrvTworzTbPortow(u"6667-99999999,1-2", list), 65535 - 6667 + 1 + 2);
    EXPECT_EQ(list.at(65535 - 6667 + 1), 1);
    const int count = SrvTworzTbPortow(test::repeat(u"1-65535,7,", 5000), list);
    EXPECT_EQ(list.at(4999 * 65536 + 100), 101);
    EXPECT_EQ(list.at(count - 1), 7);
    // 40000 full ranges would be 2.6 billion ports; what does not fit is left out.
    EXPECT_EQ(SrvTworzTbPortow(test::repeat(u"1-65535,", 40000), list), (INT_MAX / 65535) * 65535);
}

// The servers fuzz corpus replay checks that any draw picks a listed port with its TLS.
TEST(PortChoice, TakesRandModuloCountSeededWithTheTickCountAtEveryChoice) {
    test::FakeClock clock;
    test::FakeRandom random;
    bool tls = false;
    for (auto [value, port] : {std::pair{6, 7001}, {3, 7002}, {-5, 7002}}) {
        clock.ticks += 7;
        random.values = {value};
        EXPECT_EQ(SrvLosujPort(u"6667,7000-7001,+7002", clock, random, &tls), port) << value;
        EXPECT_EQ(random.seeded, clock.ticks);
    }
    EXPECT_TRUE(tls);
    EXPECT_EQ(SrvLosujPort(u"7000-6667", clock, random), -1);  // no port: no draw either
    EXPECT_EQ(random.seedCalls, 3);
}

TEST(ServerChoice, OneNetworkEntryPerSpellingListsOnlyThatSpelling) {
    ServerList list =
        listOf({{u"Net", u"b"}, {u"zeta", u"z"}, {u"Net", u"a"}, {u"net", u"c"}, {u"alpha", u"x"}});
    ServerChoice choice(list);
    choice.SrvPokazWybrany(0);
    EXPECT_EQ(choice.networks(), (Texts{u"alpha", u"Net", u"zeta"}));
    ASSERT_EQ(choice.servers().size(), 2u);
    EXPECT_EQ(choice.servers()[0].text + choice.servers()[1].text, u"ab");
    EXPECT_EQ(choice.selectedRecord(), list.server(0));
    // The record spelled 'net' is shown by its position, but lists as 'Net'.
    choice.SrvPokazWybrany(3);
    EXPECT_EQ(choice.selectedNetwork(), 1);
    EXPECT_EQ(choice.selectedRecord(), nullptr);
    choice.SrvPokazWybrany(5);  // the closing record: entry 0 of the networks
    EXPECT_EQ(choice.selectedRecord(), list.server(4));
    // Deleting a network's last server drops the network.
    EXPECT_EQ(choice.SrvUsun(choice.selectedServer()), 1);
    EXPECT_EQ(choice.networks(), (Texts{u"Net", u"zeta"}));
}

}  // namespace
}  // namespace kolu
