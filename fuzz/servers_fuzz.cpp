// Arbitrary servers.txt bytes through the server-list reader, the writer and the
// port pick, in memory. Beyond what the sanitizers catch, it checks:
// - every field read fits its room and holds no NUL; no field but the password
//   holds a TAB, and none a line feed;
// - what was read, written and read again is the same list, but for the one
//   change the writer makes (a CR inside a field becomes a blank), and writing
//   that list again gives the same bytes;
// - the ports of each server are exactly those its pieces list (their count),
//   and every port picked lies in a piece whose '+' says what its TLS flag says;
// - the connection's host and password fit their buffers as whole characters of
//   the server's text, and a server without ports gets port 0 and no TLS.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "servers/port_list.h"
#include "servers/server_list.h"
#include "tests/support/fake_clock.h"

namespace {

using namespace kolu;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "servers_fuzz: broken: %s\n", what);
        std::abort();
    }
}

// One piece of a ports text as the user wrote it: ports low..high (in 1..65535),
// TLS when its first non-blank character is '+'.
struct Piece {
    std::int64_t low;
    std::int64_t high;
    bool tls;
    std::int64_t size() const { return low <= high ? high - low + 1 : 0; }
};

std::vector<Piece> piecesOf(std::u16string_view ports) {
    std::vector<Piece> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t comma = std::min(ports.find(u',', start), ports.size());
        const std::u16string_view piece = ports.substr(start, comma - start);
        const std::size_t text = piece.find_first_not_of(u" \t\n\v\f\r");
        const std::size_t dash = piece.find(u'-');
        const std::int64_t low = portNumber(piece.substr(0, dash));
        const std::int64_t high =
            dash == std::u16string_view::npos ? low : portNumber(piece.substr(dash + 1));
        pieces.push_back({std::max<std::int64_t>(low, PortList::kLowestPort),
                          std::min<std::int64_t>(high, PortList::kHighestPort),
                          text != std::u16string_view::npos && piece[text] == u'+'});
        if (comma == ports.size()) {
            return pieces;
        }
        start = comma + 1;
    }
}

bool listed(const std::vector<Piece>& pieces, std::int32_t port, bool tls) {
    return std::any_of(pieces.begin(), pieces.end(), [&](const Piece& piece) {
        return piece.tls == tls && port >= piece.low && port <= piece.high;
    });
}

void checkPorts(std::u16string_view ports, std::uint32_t seed) {
    const std::vector<Piece> pieces = piecesOf(ports);
    std::int64_t expected = 0;
    for (const Piece& piece : pieces) {
        expected += piece.size();
    }
    PortList list;
    const int count = SrvTworzTbPortow(ports, list);
    require(count == list.count(), "the count returned is the list's");
    // A count past INT_MAX is refused run by run; the ports field is too short for one.
    require(expected <= INT_MAX && count == expected, "every listed port is in the list");
    // A sample and the last port: a range can hold 65535 ports.
    const auto check = [&](int index) {
        require(listed(pieces, list.at(index), list.tlsAt(index)), "a port and its TLS are listed");
    };
    for (int index = 0; index < count; index += count / 61 + 1) {
        check(index);
    }
    if (count > 0) {
        check(count - 1);
    }
    require(list.at(count) == -1 && list.at(-1) == -1, "no port outside the list");

    // The pick, with generators that give any int, negative ones too.
    test::FakeClock clock;
    test::FakeRandom random;
    random.values = {static_cast<int>(seed), static_cast<int>(seed >> 1), INT_MAX, 0};
    for (std::size_t i = 0; i < random.values.size(); ++i) {
        bool tls = true;
        const std::int32_t port = SrvLosujPort(ports, clock, random, &tls);
        require(count == 0 ? port == -1 && !tls : listed(pieces, port, tls),
                "the port picked is listed with its TLS");
    }
}

void checkFields(const ServerRecord& record) {
    const struct {
        const std::u16string& text;
        std::size_t room;
        bool last;
    } fields[] = {{record.network, ServerRecord::kNetworkRoom, false},
                  {record.server, ServerRecord::kServerRoom, false},
                  {record.ports, ServerRecord::kPortsRoom, false},
                  {record.password, ServerRecord::kPasswordRoom, true}};
    for (const auto& field : fields) {
        require(field.text.size() <= field.room, "a field fits its room");
        require(field.text.find_first_of(field.last ? std::u16string_view(u"\0\n", 2)
                                                    : std::u16string_view(u"\0\n\t", 3)) ==
                    std::u16string::npos,
                "no NUL, line feed or TAB inside a field");
    }
}

// `part` is `text` in UTF-8 cut to at most `room` bytes, only before a character
// that would not fit whole.
bool cutToFit(const std::string& part, std::u16string_view text, std::size_t room) {
    const std::string whole = toUtf8(text);
    if (part.size() > room || !whole.starts_with(part) || toUtf8(fromUtf8(part)) != part) {
        return false;
    }
    if (part.size() == whole.size()) {
        return true;
    }
    const auto lead = static_cast<unsigned char>(whole[part.size()]);
    const std::size_t next = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return part.size() + next > room;
}

void checkConnection(const ServerRecord& record, std::uint32_t seed) {
    test::FakeClock clock;
    test::FakeRandom random;
    random.values = {static_cast<int>(seed & INT_MAX)};
    ConnectionData data;
    connectionDataOf(record, clock, random, data);
    require(cutToFit(data.host, record.server, ConnectionData::kHostBytes - 1),
            "the host fits its buffer in whole characters");
    require(cutToFit(data.password, record.password, ConnectionData::kPasswordBytes - 1),
            "the password fits its buffer in whole characters");
    PortList list;
    if (SrvTworzTbPortow(record.ports, list) == 0) {
        require(data.port == 0 && !data.tls, "no port: port 0, no TLS");
    } else {
        require(listed(piecesOf(record.ports), data.port, data.tls), "the port is listed");
    }
}

// The record as the writer leaves it: a CR inside a field becomes a blank.
ServerRecord asWritten(ServerRecord record) {
    for (std::u16string* field :
         {&record.network, &record.server, &record.ports, &record.password}) {
        std::replace(field->begin(), field->end(), u'\r', u' ');
    }
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const ServerList first = SrvTworzListe(text);
    const std::string written = serverFileText(first);
    const ServerList again = SrvTworzListe(written);
    require(again.size() == first.size(), "re-reading keeps every server");
    std::uint32_t seed = 2166136261u;
    for (char c : text) {
        seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        const ServerRecord& record = *first.server(i);
        checkFields(record);
        require(*again.server(i) == asWritten(record), "a server reads back as written");
        checkPorts(record.ports, seed + static_cast<std::uint32_t>(i));
        checkConnection(record, seed - static_cast<std::uint32_t>(i));
    }
    require(serverFileText(again) == written, "writing what was read back changes nothing");
    return 0;
}
