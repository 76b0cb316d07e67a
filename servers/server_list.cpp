#include "servers/server_list.h"

#include <algorithm>

#include "platform/text.h"
#include "servers/port_list.h"
#include "settings/settings.h"

namespace kolu {
namespace {

// The text up to its first NUL (a record field ends at its terminator), in UTF-8
// cut to fit a buffer of `capacity` bytes with the terminator.
std::string boundedUtf8(std::u16string_view text, std::size_t capacity) {
    text = text.substr(0, text.find(u'\0'));
    std::string out(capacity, '\0');
    out.resize(toUtf8Bounded(text, out.data(), out.size()));
    return out;
}

}  // namespace

ServerRecord* ServerList::server(std::size_t index) {
    return index < m_records.size() ? m_records[index].get() : nullptr;
}

const ServerRecord* ServerList::server(std::size_t index) const {
    return index < m_records.size() ? m_records[index].get() : nullptr;
}

const ServerRecord* ServerList::recordAt(int position) const {
    if (position < 0) {
        position = 0;
    }
    const auto index = static_cast<std::size_t>(position);
    return index < m_records.size() ? m_records[index].get() : &m_closing;
}

ServerRecord* ServerList::append(std::unique_ptr<ServerRecord> record) {
    if (!record) {
        return nullptr;
    }
    m_records.push_back(std::move(record));
    return m_records.back().get();
}

int ServerList::indexOf(const ServerRecord* record) const {
    if (record == nullptr) {
        return -1;
    }
    const auto found = std::find_if(
        m_records.begin(), m_records.end(),
        [record](const std::unique_ptr<ServerRecord>& r) { return r.get() == record; });
    return found == m_records.end() ? -1 : static_cast<int>(found - m_records.begin());
}

bool ServerList::remove(const ServerRecord* record) {
    const int index = indexOf(record);
    if (index < 0) {
        return false;
    }
    m_records.erase(m_records.begin() + index);
    return true;
}

std::string serversFilePath(Settings& settings) {
    return toUtf8(settings.CzytajInstallDir()) + "servers.txt";
}

ServerRecord* SrvDodajNaKoniec(ServerList& list, std::unique_ptr<ServerRecord> record) {
    return list.append(std::move(record));
}

int SrvIndeks(const ServerList& list, const ServerRecord* record) {
    if (record != nullptr && record == list.closing()) {
        return static_cast<int>(list.size());
    }
    return list.indexOf(record);
}

int SrvUsunRekord(ServerList& list, const ServerRecord* record) {
    return list.remove(record) ? 1 : 0;
}

int SrvConnectionData(const ServerListServices& services, ConnectionData& out) {
    return SrvConnectionData(services, services.settings.RegCzytajLONG(u"server"), out);
}

int SrvConnectionData(const ServerListServices& services, std::int32_t position,
                      ConnectionData& out) {
    const ServerList list = SrvCzytajPlik(services);
    const ServerRecord* record = list.recordAt(position);
    if (!list.isServer(record)) {
        return 0;
    }
    connectionDataOf(*record, services.clock, services.random, out);
    return 1;
}

void connectionDataOf(const ServerRecord& record, const Clock& clock, Random& random,
                      ConnectionData& out) {
    out.host = boundedUtf8(record.server, ConnectionData::kHostBytes);
    out.password = boundedUtf8(record.password, ConnectionData::kPasswordBytes);
    // The low half of "no port" (-1) would be 65535, a real port that may belong to
    // anyone; 0 is reached by no connection, so the attempt fails as for a dead server.
    const std::int32_t port = SrvLosujPort(record.ports, clock, random, &out.tls);
    out.port = port > 0 ? static_cast<std::uint16_t>(port & 0xFFFF) : 0;
    out.network = record.network.empty() ? record.server : record.network;
}

}  // namespace kolu
