#pragma once
// The process-wide state of one running client that several parts share: the
// connection, its timers, the nicknames, the notify counter and flags. One
// instance lives in the session; nothing of it is global.
#include <string>

#include "platform/sockets.h"

namespace kolu {

struct SessionState {
    SocketHandle socket = kInvalidSocket;
    // Set by a successful connect; cleared by a socket error report or a
    // disconnect request, after which the next poll tick disconnects.
    bool connected = false;
    // The user asked to disconnect: the next disconnect does not reconnect.
    bool userQuit = false;
    bool pollTimerRunning = false;
    bool retryTimerRunning = false;
    // The nickname asked for at login (also the autoban request's nickname later).
    std::u16string wantedNick;
    // The nickname the server accepted; empty until the login completes.
    std::u16string currentNick;
    // Poll ticks since the last notify query; starts past the limit so the first
    // query goes out at the first tick after login.
    int isonCounter = 20;
    bool userIsonPending = false;
    bool optionsOpen = false;
};

}  // namespace kolu
