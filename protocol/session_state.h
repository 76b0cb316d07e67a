#pragma once
// The process-wide state of one running client that several parts share: the
// connection, its timers, the nicknames, the notify counter and flags. One
// instance lives in the session; nothing of it is global.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/rate_window.h"
#include "platform/sockets.h"
#include "protocol/batches.h"
#include "protocol/capabilities.h"
#include "protocol/channel_modes.h"
#include "protocol/lag_check.h"
#include "protocol/own_echoes.h"
#include "protocol/sasl.h"

namespace kolu {

// A ban by host waiting for a WHOIS answer (channel and nickname set), or a
// channel's names or ban list being collected (channel set, nickname empty).
// Its nickname is the session's wanted nickname; its channel is also set by the
// client's own JOIN.
struct AutobanRequest {
    std::u16string channel;
    bool kickAfterBan = false;
    std::optional<std::u16string> kickLine;  // sent after the ban when kickAfterBan
};

// One ban of a channel's ban list, as collected for removal.
struct BanRecord {
    std::u16string channel;
    std::u16string mask;
};

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

    // As the server's 005 reply announces them; back to the defaults at each
    // welcome (001), before a new server's announcement.
    ChannelModes channelModes;
    // Set when the server's 005 offers MONITOR: how many nicknames it watches
    // for one client (0: no limit). Forgotten at each welcome.
    std::optional<std::size_t> monitorLimit;
    // Channel tabs brought back from the last run. A connect begins with no tabs
    // but the status tab: those still open at the next connect are joined at its
    // welcome.
    std::vector<std::u16string> reopenedChannels;  // until that connect
    std::vector<std::u16string> joinAtWelcome;     // from it until the welcome

    // What was negotiated with this connection's server, and the account to
    // log in to while registering (none: no SASL).
    Capabilities caps;
    std::optional<SaslLogin> saslLogin;
    // The clock's UTC time at the login, in milliseconds since the epoch (0
    // before any): lines a server tags with an earlier time are replays.
    std::int64_t connectedAtMs = 0;
    // The server's open batches, and own messages waiting for their echo.
    Batches batches;
    PendingEchoes echoes;
    // The login under way while registering; none before it starts and once it ended.
    std::optional<SaslExchange> sasl;
    // Where a SCRAM login takes its nonce; empty: random bytes. Fixed by tests.
    SaslExchange::NonceSource saslNonce;

    AutobanRequest autoban;
    std::vector<BanRecord> banList;
    // The entry chosen in the pick-from-list dialog; -1 for none.
    int pickedIndex = -1;

    // Limits on other people's traffic: query tabs opened for new senders, with
    // whether the status tab already says the limit was reached (cleared when a
    // tab may open again), and answers to CTCP PING.
    RateWindow newQueries;
    bool queryLimitShown = false;
    RateWindow pingReplies;
    LagCheck lag;
};

}  // namespace kolu
