#pragma once
// The user's IRC servers, kept in servers.txt in the installation folder: one
// line per server (network TAB server TAB ports TAB password CR LF, UTF-8). The
// list is read, used and dropped by each user; nothing is cached between calls.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

class Clock;
class ErrorLog;
class Random;
class Settings;

// One server: the four columns of its line. Text read from the file is cut to
// each field's room (UTF-16 code units, terminator not counted) at a whole character.
struct ServerRecord {
    static constexpr std::size_t kNetworkRoom = 63;
    static constexpr std::size_t kServerRoom = 127;
    static constexpr std::size_t kPortsRoom = 63;
    static constexpr std::size_t kPasswordRoom = 63;

    std::u16string network;
    std::u16string server;
    std::u16string ports;  // e.g. "6667,7000-7002"
    std::u16string password;

    bool operator==(const ServerRecord&) const = default;
};

// The servers in file order, owned one allocation each so a record's address stays
// valid while it is in the list (the server dialogs keep it as item data). The list
// always ends in an empty closing record: positions run 0..size(), the closing
// record at size(), and walks stop there.
class ServerList {
  public:
    ServerList() = default;
    ServerList(ServerList&&) noexcept = default;
    ServerList& operator=(ServerList&&) noexcept = default;
    ServerList(const ServerList&) = delete;
    ServerList& operator=(const ServerList&) = delete;

    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    // The server at `index`, nullptr outside 0..size()-1.
    ServerRecord* server(std::size_t index);
    const ServerRecord* server(std::size_t index) const;
    // The closing record: all fields empty, never a server.
    const ServerRecord* closing() const { return &m_closing; }
    // The record `position` steps from the first, stopping at the closing record;
    // a negative position gives the first (the closing record of an empty list).
    const ServerRecord* recordAt(int position) const;
    bool isServer(const ServerRecord* record) const { return indexOf(record) >= 0; }

    // The servers in order, for range-for: each record rather than its owner.
    // (Plain iterators rather than a transform view, which clang 14 can't compile.)
    template <typename Record, typename Base>
    class RecordRange {
      public:
        class iterator {
          public:
            using value_type = ServerRecord;
            using difference_type = std::ptrdiff_t;
            using reference = Record&;
            iterator() = default;
            explicit iterator(Base at) : m_at(at) {}
            Record& operator*() const { return **m_at; }
            Record* operator->() const { return m_at->get(); }
            iterator& operator++() {
                ++m_at;
                return *this;
            }
            iterator operator++(int) {
                iterator before = *this;
                ++m_at;
                return before;
            }
            bool operator==(const iterator&) const = default;

          private:
            Base m_at{};
        };
        RecordRange(Base first, Base last) : m_first(first), m_last(last) {}
        iterator begin() const { return iterator(m_first); }
        iterator end() const { return iterator(m_last); }

      private:
        Base m_first;
        Base m_last;
    };
    using Records = std::vector<std::unique_ptr<ServerRecord>>;
    RecordRange<ServerRecord, Records::iterator> servers() {
        return {m_records.begin(), m_records.end()};
    }
    RecordRange<const ServerRecord, Records::const_iterator> servers() const {
        return {m_records.begin(), m_records.end()};
    }

    // Non-zero (the error code) when servers.txt could not be opened or read: such
    // a list must not replace the file, or the servers it could not show would be lost.
    int readError() const { return m_readError; }
    void setReadError(int code) { m_readError = code; }

    ServerRecord* append(std::unique_ptr<ServerRecord> record);
    // Server index of `record`, -1 when it is not one of the servers.
    int indexOf(const ServerRecord* record) const;
    bool remove(const ServerRecord* record);

  private:
    Records m_records;
    ServerRecord m_closing;
    int m_readError = 0;
};

// What the server list reads and reports through.
struct ServerListServices {
    Settings& settings;
    ErrorLog& log;
    const Clock& clock;
    Random& random;
};

// The chosen server as the connection needs it: host at most 127 bytes and password
// at most 63 bytes of UTF-8 (each cut at a whole character), and the port.
struct ConnectionData {
    static constexpr std::size_t kHostBytes = 128;  // terminator included
    static constexpr std::size_t kPasswordBytes = 64;

    std::string host;
    std::string password;
    std::uint16_t port = 0;
    bool tls = false;  // the port was written "+port"
    // What the stored history files the lines under: the record's network, else its server.
    std::u16string network;
};

// Installation folder + "servers.txt".
std::string serversFilePath(Settings& settings);

// Parses the file's bytes. Lines end in CR LF or a lone LF; text after the last
// line end is a final line; a line whose fields are all empty is skipped; missing
// fields are empty;
// the password runs from the third TAB to the line end; a NUL ends its field.
// `log`, when given, hears of a record that could not be allocated.
ServerList SrvTworzListe(std::string_view text, ErrorLog* log = nullptr);

// Reads servers.txt, creating it empty (mode 0600) when missing. A file that can't
// be opened or read gives an empty list with its readError(), and is reported.
ServerList SrvCzytajPlik(const ServerListServices& services);

// The bytes SrvZapiszPlik writes for `list`. A TAB or line break inside a field
// would split the line, so it is written as a blank (a TAB in the last field is kept).
std::string serverFileText(const ServerList& list);
// The server column of one record as serverFileText writes it: what files kept
// beside servers.txt use to name that server.
std::u16string writtenServerName(std::u16string_view server);

// Replaces servers.txt with the list (mode 0600; whole or not at all) and frees the
// list. Returns 1 when written, 0 when the old file was left (the failure is reported,
// or the list came from a file that could not be read).
int SrvZapiszPlik(ServerList list, const ServerListServices& services);

// Appends the record after the last server; returns it (nullptr for no record).
ServerRecord* SrvDodajNaKoniec(ServerList& list, std::unique_ptr<ServerRecord> record);

// Position of the record from 0; the closing record is at size(); -1 when the
// record is in neither place.
int SrvIndeks(const ServerList& list, const ServerRecord* record);

// Unlinks and frees a server. Returns 1, or 0 when `record` is not one of the list's
// servers (the closing record included), which leaves the list as it was.
int SrvUsunRekord(ServerList& list, const ServerRecord* record);

// The server at the position `server` of the settings (missing or negative: the
// first). Returns 1 and fills `out`, or 0 and leaves `out` when the position is at or
// beyond the end. A server whose ports text holds no port gets port 0, which no
// connection reaches.
int SrvConnectionData(const ServerListServices& services, ConnectionData& out);
// The same for the server at `position`, a window's own choice.
int SrvConnectionData(const ServerListServices& services, std::int32_t position,
                      ConnectionData& out);

// Fills `out` from one server: its host and password cut to the connection's
// buffers, and a port picked at random from its ports text.
void connectionDataOf(const ServerRecord& record, const Clock& clock, Random& random,
                      ConnectionData& out);

}  // namespace kolu
