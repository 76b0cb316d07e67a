#pragma once
// What the handlers and commands need of the server connection: sending a line
// and asking to disconnect. The connection implements it; keeping it here lets
// the protocol layer build below the connection.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sockets.h"
#include "platform/text.h"

namespace kolu {

// What a sent line shows, once it has actually gone: `text` in tab `tab` ("" the
// status tab). A line held back by the pacing is shown when its turn comes.
struct LineEcho {
    std::u16string tab;
    std::u16string text;
    std::uint32_t colour = 0;
};

class ServerLink {
  public:
    virtual ~ServerLink() = default;
    // Sends one protocol line (its line feed is added), or queues it behind the pacing.
    virtual int wys(SocketHandle sock, std::u16string_view text) = 0;
    // As wys, then shows `echo` when the line goes.
    virtual int sendEchoed(SocketHandle sock, std::u16string_view text, LineEcho echo) = 0;
    // As wys, but sends nothing for an empty text.
    virtual int SendNonEmpty(SocketHandle sock, std::u16string_view text) = 0;
    // Drops the lines queued behind the pacing, their echoes too; how many there were.
    virtual std::size_t dropWaitingLines() = 0;
    virtual void disconnectRequest() = 0;
    // The socket to send on; kInvalidSocket when not connected.
    virtual SocketHandle socketQuery() const = 0;
    // The server's "sts" offer ("port=6697,duration=2592000"), as CAP LS or CAP NEW
    // gives it. True when the connection closes to come back over TLS: the rest
    // of the negotiation is moot.
    virtual bool stsOffered(std::u16string_view value) = 0;
};

// "*** 3 lines waiting to be sent were dropped"
inline std::u16string waitingLinesDropped(std::size_t count) {
    return u"*** " + decimalText(static_cast<long long>(count)) +
           (count == 1 ? u" line waiting to be sent was dropped"
                       : u" lines waiting to be sent were dropped");
}

}  // namespace kolu
