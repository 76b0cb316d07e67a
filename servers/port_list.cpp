#include "servers/port_list.h"

#include <algorithm>
#include <climits>

#include "platform/clock.h"

namespace kolu {
namespace {

bool isBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

}  // namespace

const PortList::Run* PortList::runAt(int index) const {
    if (index < 0 || index >= m_count) {
        return nullptr;
    }
    // The last run that starts at or before the index holds it.
    auto run = std::upper_bound(m_runs.begin(), m_runs.end(), index,
                                [](int i, const Run& r) { return i < r.before; });
    return &*--run;
}

std::int32_t PortList::at(int index) const {
    const Run* run = runAt(index);
    return run ? run->first + (index - run->before) : -1;
}

bool PortList::tlsAt(int index) const {
    const Run* run = runAt(index);
    return run && run->tls;
}

bool PortList::addRun(std::int32_t first, std::int32_t last, bool tls) {
    first = std::max(first, kLowestPort);
    last = std::min(last, kHighestPort);
    if (first > last) {
        return false;
    }
    const int length = last - first + 1;
    if (length > INT_MAX - m_count) {
        return false;
    }
    m_runs.push_back(Run{first, last, m_count, tls});
    m_count += length;
    return true;
}

void PortList::clear() {
    m_runs.clear();
    m_count = 0;
}

std::int32_t portNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), INT32_MAX);
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

int SrvDodajPort(PortList& list, std::int32_t port, int count, bool tls) {
    if (port < PortList::kLowestPort || port > PortList::kHighestPort) {
        return count;
    }
    return list.addRun(port, port, tls) ? count + 1 : count;
}

int SrvDodajZakres(PortList& list, std::u16string_view piece, std::size_t dash, int count,
                   bool tls) {
    if (dash >= piece.size()) {
        return SrvDodajPort(list, portNumber(piece), count, tls);
    }
    const std::int32_t low = portNumber(piece.substr(0, dash));
    const std::int32_t high = portNumber(piece.substr(dash + 1));
    const int before = list.count();
    if (!list.addRun(low, high, tls)) {
        return count;
    }
    return count + (list.count() - before);
}

int SrvTworzTbPortow(std::u16string_view ports, PortList& list) {
    list.clear();
    int count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = ports.find(u',', start);
        const std::u16string_view piece = ports.substr(
            start, comma == std::u16string_view::npos ? ports.size() - start : comma - start);
        const std::size_t dash = piece.find(u'-');
        std::size_t first = 0;
        while (first < piece.size() && isBlank(piece[first])) {
            ++first;
        }
        const bool tls = first < piece.size() && piece[first] == u'+';
        count = dash != std::u16string_view::npos
                    ? SrvDodajZakres(list, piece, dash, count, tls)
                    : SrvDodajPort(list, portNumber(piece), count, tls);
        if (comma == std::u16string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return count;
}

void SrvUsunTbPortow(PortList& list, int /*count*/) {
    list.clear();
}

std::int32_t SrvLosujPort(std::u16string_view ports, const Clock& clock, Random& random,
                          bool* tls) {
    PortList list;
    const int count = SrvTworzTbPortow(ports, list);
    std::int32_t port = -1;
    if (tls) {
        *tls = false;
    }
    if (count > 0) {
        random.seed(clock.tickCount());
        // rand() is never negative; a generator that is still gives an index in range.
        const int index = (random.next() % count + count) % count;
        port = list.at(index);
        if (tls) {
            *tls = list.tlsAt(index);
        }
    }
    SrvUsunTbPortow(list, count);
    return port;
}

}  // namespace kolu
