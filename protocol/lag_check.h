#pragma once
// The client's own watch over a silent link: after a silence it sends a PING of
// its own, and the answer's delay is the lag. The link is taken for dead when
// nothing comes within the timeout of that PING, or, before the login, where no
// PING is sent, within the silence and the timeout together. After a sleep the
// PING goes first: a link that survived it is not given up unasked.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

class LagCheck {
  public:
    // Tokens of the client's own PINGs: the answers are told from a user's /PING by it.
    static constexpr std::u16string_view kTokenPrefix = u"kolu-lag-";

    // A new connection: it counts as heard from now, with nothing asked yet.
    void reset(std::uint64_t nowMs);
    // A byte came from the server.
    void heard(std::uint64_t nowMs);
    // The PING line to send when nothing was heard for `silenceMs` and no own
    // PING is waiting for its answer.
    std::optional<std::u16string> pingDue(std::uint64_t nowMs, std::uint64_t silenceMs);
    // The lag in milliseconds when `token` answers the PING waiting; nothing
    // for any other token (a user's own /PING, an answer come too late).
    std::optional<std::uint64_t> answered(std::u16string_view token, std::uint64_t nowMs);
    // The whole seconds of silence once the link counts as dead, else nothing.
    std::optional<std::uint64_t> timedOut(std::uint64_t nowMs, std::uint64_t silenceMs,
                                          std::uint64_t timeoutMs) const;

  private:
    std::uint64_t m_heardAt = 0;
    std::optional<std::uint64_t> m_askedAt;  // the own PING waiting for its answer
    std::u16string m_token;
};

}  // namespace kolu
