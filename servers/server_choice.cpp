#include "servers/server_choice.h"

#include <algorithm>

#include "platform/text.h"

namespace kolu {
namespace {

// The order of a sorted combo box: letters compared without regard to case.
bool sortsBefore(std::u16string_view a, std::u16string_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char16_t x, char16_t y) { return foldCase(x) < foldCase(y); });
}

bool beginsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// CB_SELECTSTRING: the first entry that begins with `prefix`, regardless of case.
template <typename Entries, typename TextOf>
int firstBeginningWith(const Entries& entries, std::u16string_view prefix, TextOf textOf) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (beginsWithIgnoringCase(textOf(entries[i]), prefix)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

ServerRecord* ServerChoice::selectedRecord() const {
    if (m_selectedServer < 0 || m_selectedServer >= static_cast<int>(m_servers.size())) {
        return nullptr;
    }
    return m_servers[static_cast<std::size_t>(m_selectedServer)].record;
}

void ServerChoice::SrvNetworkiDoCombo() {
    m_networks.clear();
    m_selectedNetwork = -1;
    for (const ServerRecord& record : m_list->servers()) {
        const bool listed =
            std::any_of(m_networks.begin(), m_networks.end(), [&](const std::u16string& network) {
                return equalsIgnoreCase(network, record.network);
            });
        if (!listed) {
            m_networks.insert(
                std::upper_bound(m_networks.begin(), m_networks.end(), record.network,
                                 [](const std::u16string& a, const std::u16string& b) {
                                     return sortsBefore(a, b);
                                 }),
                record.network);
        }
    }
}

void ServerChoice::SrvSerweryDoCombo() {
    m_servers.clear();
    std::u16string network;
    if (m_selectedNetwork >= 0 && m_selectedNetwork < static_cast<int>(m_networks.size())) {
        network = m_networks[static_cast<std::size_t>(m_selectedNetwork)];
        network.resize(cutAtWholeChar(network, ServerRecord::kNetworkRoom).size());
    }
    for (ServerRecord& record : m_list->servers()) {
        if (record.network != network) {
            continue;
        }
        ServerEntry entry{record.server, &record};
        m_servers.insert(std::upper_bound(m_servers.begin(), m_servers.end(), entry,
                                          [](const ServerEntry& a, const ServerEntry& b) {
                                              return sortsBefore(a.text, b.text);
                                          }),
                         std::move(entry));
    }
    m_selectedServer = m_servers.empty() ? -1 : 0;
}

void ServerChoice::SrvPokazWybrany(int position) {
    SrvNetworkiDoCombo();
    const ServerRecord* record = m_list->recordAt(position);
    if (!m_list->isServer(record)) {
        m_selectedNetwork = m_networks.empty() ? -1 : 0;
        SrvSerweryDoCombo();
        return;
    }
    m_selectedNetwork = firstBeginningWith(m_networks, record->network,
                                           [](const std::u16string& text) { return text; });
    SrvSerweryDoCombo();
    m_selectedServer = firstBeginningWith(m_servers, record->server,
                                          [](const ServerEntry& entry) { return entry.text; });
}

int ServerChoice::SrvUsun(int entry) {
    if (entry < 0 || entry >= static_cast<int>(m_servers.size())) {
        return 0;
    }
    SrvUsunRekord(*m_list, m_servers[static_cast<std::size_t>(entry)].record);
    SrvPokazWybrany(-1);
    return 1;
}

void ServerChoice::chooseNetwork(int index) {
    m_selectedNetwork = index >= 0 && index < static_cast<int>(m_networks.size()) ? index : -1;
    SrvSerweryDoCombo();
}

void ServerChoice::chooseServer(int index) {
    m_selectedServer = index >= 0 && index < static_cast<int>(m_servers.size()) ? index : -1;
}

int chosenServerPosition(const ServerList& list, const ServerRecord* chosen) {
    return chosen ? list.indexOf(chosen) : -1;
}

}  // namespace kolu
