#include "protocol/inbound.h"

#include <algorithm>

#include "protocol/guarded.h"
#include "protocol/string_ops.h"
#include "settings/error_log.h"

namespace kolu {
namespace {

// Ends a line cut at the buffer's limit, so the reader knows text is missing.
constexpr std::u16string_view kCutMark = u"...";

}  // namespace

int LineFramer::receive(std::string_view bytes, ReplyDispatcher& dispatcher) {
    if (m_dispatching) {
        guarded(m_log, u"odb", [&] { m_deferred.append(bytes); });
        return 0;
    }
    guarded(m_log, u"odb", [&] {
        append(m_decoder.decode(bytes), dispatcher);
        while (!m_deferred.empty()) {
            std::string later;
            later.swap(m_deferred);
            append(m_decoder.decode(later), dispatcher);
        }
    });
    return m_pending.empty() ? 1 : 0;
}

// Appends in pieces that fit the pending buffer, cutting lines after each piece,
// so the buffer never holds more than its capacity whatever the chunk holds.
void LineFramer::append(std::u16string_view text, ReplyDispatcher& dispatcher) {
    const unsigned generation = m_generation;
    std::size_t i = 0;
    while (i < text.size() && generation == m_generation) {
        if (m_discarding) {
            const std::size_t lineFeed = text.find(u'\n', i);
            if (lineFeed == std::u16string_view::npos) {
                return;
            }
            m_discarding = false;
            i = lineFeed + 1;
            continue;
        }
        const std::size_t room = kMaxPendingChars - m_pending.size();
        if (room > 0) {
            const std::size_t take = std::min(room, text.size() - i);
            m_pending.append(text.substr(i, take));
            i += take;
            przetwarzaj(dispatcher);
            continue;
        }
        // The buffer is full and holds no line feed: the line ends here whole
        // only when its line end (LF, or CR LF) comes next.
        std::size_t lineEnd = text[i] == u'\n' ? 1 : 0;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            lineEnd = 2;
        }
        m_line.assign(m_pending);
        m_pending.clear();
        if (lineEnd == 1 && !m_line.empty() && m_line.back() == u'\r') {
            m_line.pop_back();
        } else if (lineEnd == 0) {
            // Too long: cut within the limit, never inside a surrogate pair, mark
            // the cut and drop the rest of the line.
            m_line.resize(cutAtWholeChar(m_line, kMaxPendingChars - kCutMark.size()).size());
            m_line += kCutMark;
            m_discarding = true;
        }
        i += lineEnd;
        dispatchLine(dispatcher);
    }
}

int LineFramer::przetwarzaj(ReplyDispatcher& dispatcher) {
    if (m_dispatching) {
        return 0;
    }
    for (;;) {
        const std::size_t lineFeed = m_pending.find(u'\n');
        if (lineFeed == std::u16string::npos) {
            return m_pending.empty() ? 1 : 0;
        }
        std::size_t end = lineFeed;
        if (end > 0 && m_pending[end - 1] == u'\r') {
            --end;  // only the one just before the line feed
        }
        // The line leaves the pending text before it is dispatched, so a handler
        // that clears the pending text (a reconnect) never sees a stale rest.
        m_line.assign(m_pending, 0, end);
        m_pending.erase(0, lineFeed + 1);
        dispatchLine(dispatcher);
    }
}

void LineFramer::dispatchLine(ReplyDispatcher& dispatcher) {
    // Only this line is lost when it can't be parsed or handled for lack of memory.
    guarded(m_log, u"przetwarzaj", [&] {
        TrimRight(m_line);
        if (tworz_odpowiedz(m_line, m_reply) > 0) {
            struct Guard {
                bool& flag;
                ~Guard() { flag = false; }
            } guard{m_dispatching};
            m_dispatching = true;
            dispatcher.dispatch(m_reply);
        }
    });
    zwolnij_odpowiedz(m_reply);
    m_line.clear();
}

void LineFramer::clear() {
    m_pending.clear();
    m_deferred.clear();
    m_decoder.reset();
    m_discarding = false;
    ++m_generation;
}

Inbound::Inbound(SocketLayer& sockets, ErrorLog& log)
    : m_sockets(sockets), m_log(log), m_framer(&log) {}

int Inbound::odbierz(SocketHandle sock, ReplyDispatcher& dispatcher) {
    // A modal prompt opened by a handler runs the poll timer again: that tick
    // must not read into the buffer whose line is still being handled.
    if (dispatching()) {
        return -1;
    }
    SelectSets sets;
    sets.read = true;
    if (m_sockets.select(sock, sets, kPollMs) == kSocketError) {
        // The set is tested as it stands, as after a successful select.
        m_log.LogSocketError(m_sockets, u"select", u"odbierz");
    }
    if (!sets.read) {
        return -1;
    }
    int last = 1;
    for (int chunks = 0; chunks < kMaxChunksPerTick; ++chunks) {
        if (last == 0) {
            return 0;
        }
        last = odb(sock, dispatcher);
        if (last == -1) {
            m_log.LogSocketError(m_sockets, u"select2", u"odbierz");
            return -1;
        }
        sets = SelectSets{};
        sets.read = true;
        if (m_sockets.select(sock, sets, kPollMs) == kSocketError) {
            m_log.LogSocketError(m_sockets, u"select2", u"odbierz");
            return last;
        }
        if (!sets.read) {
            return last;
        }
    }
    return last;
}

Inbound::ReadResult Inbound::readReady(SocketHandle sock, ReplyDispatcher& dispatcher,
                                       std::size_t budgetBytes) {
    ReadResult result = ReadResult::kNothing;
    for (std::size_t total = 0; total < budgetBytes && !dispatching();) {
        // Asked before every read: the poll tick may have taken the data, and a
        // read of an empty blocking socket would wait.
        SelectSets sets;
        sets.read = true;
        if (m_sockets.select(sock, sets, 0) == kSocketError) {
            m_log.LogSocketError(m_sockets, u"select", u"odbierz");
            return ReadResult::kFailed;
        }
        if (!sets.read) {
            break;
        }
        const int received = odb(sock, dispatcher);
        if (received <= 0) {
            return received == 0 ? ReadResult::kClosed : ReadResult::kFailed;
        }
        total += static_cast<std::size_t>(received);
        result = ReadResult::kData;
    }
    return result;
}

int Inbound::odb(SocketHandle sock, ReplyDispatcher& dispatcher) {
    if (dispatching()) {
        return -1;
    }
    char buffer[kChunkBytes];
    const int received = m_sockets.recv(sock, buffer, kChunkBytes);
    if (received < 0) {
        m_log.LogSocketError(m_sockets, u"recv", u"odb");
        return -1;
    }
    if (received == 0) {
        return 0;
    }
    const int used = std::min(received, kChunkBytes);
    m_bytesReceived += static_cast<std::uint64_t>(used);
    m_framer.receive(std::string_view(buffer, static_cast<std::size_t>(used)), dispatcher);
    return received;
}

}  // namespace kolu
