// The Connection page's network and server lists over a server list.
#include <gtest/gtest.h>

#include "servers/server_choice.h"

namespace kolu {
namespace {

std::vector<std::u16string> serverTexts(const ServerChoice& choice) {
    std::vector<std::u16string> out;
    for (const ServerChoice::ServerEntry& entry : choice.servers()) {
        out.push_back(entry.text);
    }
    return out;
}

ServerList listOf(std::initializer_list<std::pair<std::u16string, std::u16string>> servers) {
    ServerList list;
    for (const auto& [network, server] : servers) {
        SrvDodajNaKoniec(
            list, std::make_unique<ServerRecord>(ServerRecord{network, server, u"6667", u""}));
    }
    return list;
}

TEST(ServerChoice, OneNetworkEntryPerSpellingListsOnlyThatSpelling) {
    ServerList list = listOf({{u"Net", u"b.net"},
                              {u"zeta", u"z"},
                              {u"Net", u"a.net"},
                              {u"net", u"c.net"},
                              {u"alpha", u"x"}});
    ServerChoice choice(list);
    choice.SrvPokazWybrany(0);
    EXPECT_EQ(choice.networks(), (std::vector<std::u16string>{u"alpha", u"Net", u"zeta"}));
    EXPECT_EQ(choice.selectedNetwork(), 1);
    EXPECT_EQ(serverTexts(choice), (std::vector<std::u16string>{u"a.net", u"b.net"}));
    EXPECT_EQ(choice.selectedRecord(), list.server(0));

    // The record spelled 'net' is shown by its position, but lists as 'Net'.
    choice.SrvPokazWybrany(3);
    EXPECT_EQ(choice.selectedNetwork(), 1);
    EXPECT_EQ(choice.selectedServer(), -1);
    EXPECT_EQ(choice.selectedRecord(), nullptr);

    choice.chooseNetwork(2);
    EXPECT_EQ(serverTexts(choice), (std::vector<std::u16string>{u"z"}));
    EXPECT_EQ(choice.selectedRecord(), list.server(1));
}

TEST(ServerChoice, PositionsOutsideTheListShowTheFirstNetwork) {
    ServerList list = listOf({{u"B", u"b1"}, {u"A", u"a1"}});
    ServerChoice choice(list);
    choice.SrvPokazWybrany(-5);  // the first record
    EXPECT_EQ(choice.selectedRecord(), list.server(0));
    choice.SrvPokazWybrany(2);  // the closing record: entry 0 of the networks
    EXPECT_EQ(choice.selectedNetwork(), 0);
    EXPECT_EQ(choice.selectedRecord(), list.server(1));

    ServerList empty;
    ServerChoice none(empty);
    none.SrvPokazWybrany(0);
    EXPECT_TRUE(none.networks().empty());
    EXPECT_EQ(none.selectedRecord(), nullptr);
    EXPECT_EQ(none.SrvUsun(0), 0);
}

TEST(ServerChoice, DeletingANetworksLastServerDropsTheNetwork) {
    ServerList list = listOf({{u"A", u"a1"}, {u"B", u"b1"}});
    ServerChoice choice(list);
    choice.SrvPokazWybrany(1);
    ASSERT_EQ(choice.selectedRecord(), list.server(1));
    EXPECT_EQ(choice.SrvUsun(choice.selectedServer()), 1);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(choice.networks(), (std::vector<std::u16string>{u"A"}));
    EXPECT_EQ(choice.selectedRecord(), list.server(0));
    EXPECT_EQ(chosenServerPosition(list, choice.selectedRecord()), 0);
}

}  // namespace
}  // namespace kolu
