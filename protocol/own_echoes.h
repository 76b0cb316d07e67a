#pragma once
// Own messages when the server echoes them (echo-message): the echo the client
// would have shown when a PRIVMSG or NOTICE went waits here, and is shown when
// the server sends the message back, with the server's time. A message the
// server refuses never comes back: the refusal, the bound on waiting echoes and
// their age drop it, so no echo waits for ever.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/handler_context.h"
#include "protocol/reply.h"
#include "protocol/server_link.h"

namespace kolu {

class PendingEchoes {
  public:
    static constexpr std::size_t kMaxWaiting = 64;
    // An echo the server has not sent back within this long is not coming.
    static constexpr std::uint64_t kMaxWaitMs = 120'000;

    // Keeps the echo of `line` as sent ("PRIVMSG #c :text", any case and
    // spacing). False, and nothing kept, when the line is no PRIVMSG or NOTICE.
    bool await(std::u16string_view line, LineEcho echo, std::uint64_t nowMs);
    // The oldest waiting echo of a message with this command, target and text.
    std::optional<LineEcho> take(std::u16string_view command, std::u16string_view target,
                                 std::u16string_view text);
    // Drops the oldest waiting echo for `target` (the server refused it).
    bool refused(std::u16string_view target);
    void clear();
    std::size_t size() const { return m_waiting.size(); }

    // A message to oneself the server may deliver twice (once as the echo, once
    // as a message received): the delivery after a shown echo is dropped once.
    void shownToSelf(std::u16string_view command, std::u16string_view text);
    bool takeSecondCopy(std::u16string_view command, std::u16string_view text);

  private:
    struct Waiting {
        std::u16string command;
        std::u16string target;
        std::u16string text;
        LineEcho echo;
        std::uint64_t sentAt = 0;
    };
    std::deque<Waiting> m_waiting;
    std::optional<std::u16string> m_selfCopy;  // command, blank, text
};

// Lines that only come with echo-message: a PRIVMSG or NOTICE from the client's
// own nickname shows its waiting echo, or, sent from another client of the same
// account, an own line in its tab. Returns 0 for every other line.
int reply_OwnMessage(HandlerContext& context, const Reply& reply);
// A refusal of a message (no such nick or channel, can't send, no text ...):
// its waiting echo is dropped. Returns 0: the reply is printed as ever.
int ForgetRefusedEcho(HandlerContext& context, const Reply& reply);

}  // namespace kolu
