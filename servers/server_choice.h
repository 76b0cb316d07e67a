#pragma once
// The Connection page's two drop-down lists over the options dialog's server
// list: the networks, each once under the spelling met first, and the servers of
// the chosen network, each entry carrying its record. Both lists keep their
// entries sorted, as the dialog's sorted combo boxes do; nothing here reaches
// servers.txt or the settings.
#include <string>
#include <vector>

#include "servers/server_list.h"

namespace kolu {

class ServerChoice {
  public:
    struct ServerEntry {
        std::u16string text;
        ServerRecord* record = nullptr;
    };

    explicit ServerChoice(ServerList& list) : m_list(&list) {}

    // The list the choice works on (the dialog keeps one while it is open).
    ServerList& list() { return *m_list; }
    const ServerList& list() const { return *m_list; }

    const std::vector<std::u16string>& networks() const { return m_networks; }
    const std::vector<ServerEntry>& servers() const { return m_servers; }
    int selectedNetwork() const { return m_selectedNetwork; }
    int selectedServer() const { return m_selectedServer; }
    // The record of the selected server entry; null when none is selected.
    ServerRecord* selectedRecord() const;

    // Refills the networks: each record's network unless one equal to it
    // regardless of case is listed already. Nothing is selected afterwards.
    void SrvNetworkiDoCombo();
    // Refills the servers with the records whose network is spelled exactly as the
    // selected network entry, then selects the first of them.
    void SrvSerweryDoCombo();
    // Shows the record `position` steps from the first (a negative position: the
    // first; past the end: the first network's servers).
    void SrvPokazWybrany(int position);
    // Removes the record of server entry `entry` from the list, then shows the
    // first server. Returns 1, or 0 when there is no such entry.
    int SrvUsun(int entry);

    // The user's choices (the network list closing, a server picked).
    void chooseNetwork(int index);
    void chooseServer(int index);

  private:
    ServerList* m_list;
    std::vector<std::u16string> m_networks;
    std::vector<ServerEntry> m_servers;
    int m_selectedNetwork = -1;
    int m_selectedServer = -1;
};

// What RegSrvIdxZapisz writes as `server`: the position of `chosen` in the list,
// or -1 when it is not one of its servers (then nothing is written).
int chosenServerPosition(const ServerList& list, const ServerRecord* chosen);

}  // namespace kolu
