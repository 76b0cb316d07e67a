#pragma once
// What the handlers and commands need of the server connection: sending a line
// and asking to disconnect. The connection implements it; keeping it here lets
// the protocol layer build below the connection.
#include <string_view>

#include "platform/sockets.h"

namespace kolu {

class ServerLink {
  public:
    virtual ~ServerLink() = default;
    // Sends one protocol line (its line feed is added), or queues it behind the pacing.
    virtual int wys(SocketHandle sock, std::u16string_view text) = 0;
    // As wys, but sends nothing for an empty text.
    virtual int SendNonEmpty(SocketHandle sock, std::u16string_view text) = 0;
    virtual void disconnectRequest() = 0;
    // The socket to send on; kInvalidSocket when not connected.
    virtual SocketHandle socketQuery() const = 0;
};

}  // namespace kolu
