#pragma once
// Inbound side of the server connection: reading the socket once per poll tick,
// decoding the bytes, cutting complete lines out of the pending text and handing
// each line's reply to the dispatcher before the next chunk is read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sockets.h"
#include "platform/text.h"
#include "protocol/reply.h"

namespace kolu {

class ErrorLog;

// Line framing without any socket: bytes in, dispatched replies out. Owns the
// pending text (a line still waiting for its line feed), the decoder state and
// the current reply. A line longer than the pending buffer is cut at the buffer's
// limit and dispatched ending in "..."; the rest of it, up to its line feed, is
// dropped. A NUL byte stays in its line as U+0000, so nothing after it is lost.
// Running out of memory drops the line (or chunk) at hand and is reported to
// `log` when there is one.
class LineFramer {
  public:
    // Wide characters, the terminator of the fixed buffer this stands for included.
    static constexpr std::size_t kPendingCapacity = 2050;
    static constexpr std::size_t kMaxPendingChars = kPendingCapacity - 1;

    explicit LineFramer(ErrorLog* log = nullptr) : m_log(log) {}

    // Decodes a chunk, appends it and dispatches every line it completes, in
    // order. Returns 1 when no unfinished line is left, else 0. Bytes given while
    // a line is being dispatched are kept and framed after that line.
    int receive(std::string_view bytes, ReplyDispatcher& dispatcher);
    // Cuts and dispatches the complete lines of the pending text; 1 when all of it
    // was consumed, 0 when an unfinished line was kept (or a line is being dispatched).
    int przetwarzaj(ReplyDispatcher& dispatcher);
    // Forgets the pending text, held bytes and decoder state (a new connection).
    void clear();

    bool dispatching() const { return m_dispatching; }
    std::u16string_view pending() const { return m_pending; }

  private:
    void append(std::u16string_view text, ReplyDispatcher& dispatcher);
    // Trims, parses and dispatches m_line; a line without words is dropped.
    void dispatchLine(ReplyDispatcher& dispatcher);

    ErrorLog* m_log;
    Utf8StreamDecoder m_decoder;
    std::u16string m_pending;
    std::u16string m_line;
    std::string m_deferred;
    Reply m_reply;
    bool m_dispatching = false;
    bool m_discarding = false;  // dropping the rest of an over-long line
    unsigned m_generation = 0;  // bumped by clear(), so a running pass stops
};

// Reads the server socket for the poll tick: waits up to 10 ms, then reads
// 1024-byte chunks while data keeps arriving, framing each chunk as it comes.
// Socket failures go to the error log, which ends the connection.
class Inbound {
  public:
    static constexpr std::size_t kPendingCapacity = LineFramer::kPendingCapacity;
    static constexpr int kChunkBytes = 1024;
    static constexpr int kPollMs = 10;
    // A server that never pauses must not keep the tick from ending; what is
    // left waits in the socket for the next tick.
    static constexpr int kMaxChunksPerTick = 4096;

    Inbound(SocketLayer& sockets, ErrorLog& log);

    // -1: nothing readable, a read failed, or a line is being dispatched (a
    // nested tick); 0: the server closed the connection; else the last chunk's size.
    int odbierz(SocketHandle sock, ReplyDispatcher& dispatcher);
    // What a read of a socket the event loop found readable came to.
    enum class ReadResult { kNothing, kData, kClosed, kFailed };
    // Reads the chunks that are there without waiting, at most about `budgetBytes`,
    // so a flood leaves the event loop turning between reads. kNothing also for
    // a nested call while a line is being dispatched.
    ReadResult readReady(SocketHandle sock, ReplyDispatcher& dispatcher, std::size_t budgetBytes);
    // One recv: -1 failure, 0 closed, else the bytes read (and framed).
    int odb(SocketHandle sock, ReplyDispatcher& dispatcher);
    int przetwarzaj(ReplyDispatcher& dispatcher) { return m_framer.przetwarzaj(dispatcher); }
    // At each successful connect: empties the pending text and resets the decoder.
    void clearPending() { m_framer.clear(); }

    bool dispatching() const { return m_framer.dispatching(); }
    std::u16string_view pending() const { return m_framer.pending(); }
    // Every byte read so far, over all connections: a change means the server was heard.
    std::uint64_t bytesReceived() const { return m_bytesReceived; }

  private:
    SocketLayer& m_sockets;
    ErrorLog& m_log;
    LineFramer m_framer;
    std::uint64_t m_bytesReceived = 0;
};

}  // namespace kolu
