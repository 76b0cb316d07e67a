#pragma once
// Hands each received line to exactly one handler, chosen by its words, after
// learning the client's nickname from it: channel events, messages and CTCP,
// the server's PING, numeric replies (routed by number), and the status tab
// for everything else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// The current and wanted nicknames are kept in buffers of this many wide
// characters, terminator included.
inline constexpr std::size_t kNickCapacity = 256;

// Command id, title and prompt of the prompt that asks for a new nickname when
// both the wanted and the alternative one are refused.
inline constexpr int kNickClashPromptId = 432;
inline constexpr std::u16string_view kNickClashTitle = u"Nickname already in use";
inline constexpr std::u16string_view kNickClashPrompt = u"Enter a new nick:";
// `alternick` is read with this many bytes.
inline constexpr std::uint32_t kAlternickSize = 60;
// A prompt answer holds at most this many characters.
inline constexpr std::size_t kPromptAnswerLength = 249;

// A word read as a number the way wide-string-to-long reads it: leading white
// space, an optional sign, then decimal digits; 0 when there are none. Values
// beyond 32 bits are held at the 32-bit limits.
std::int32_t wordNumber(std::u16string_view word);
// The same reading with 64 bits, for times in seconds.
std::int64_t wordNumber64(std::u16string_view word);

using ReplyHandler = int (*)(HandlerContext& context, const Reply& reply);

// The handler a line or a numeric is given to: its row in the dispatch order
// (1 to 14; 0 for numerics), its name, and the call.
struct ReplyRoute {
    int row;
    std::string_view name;
    ReplyHandler handler;
};

// The first row of the dispatch order whose test the line passes.
ReplyRoute routeReply(const Reply& reply);
// The handler of a numeric reply, by its number.
ReplyRoute routeNumeric(std::int32_t number);

// Learns the current nickname: every login reply (numerics 1 to 99) sets it to
// word 2; before them, the first line of three words addressed to someone but
// "AUTH" or "*" does. Setting it for the first time empties the wanted nickname.
// Returns 1.
int TrackNickname(SessionState& state, const Reply& reply);

// The extensions' lines to their own handlers (dispatchExtension); every other
// line to TrackNickname, then the first handler whose test the line passes. Returns 1.
int DispatchReply(HandlerContext& context, const Reply& reply);

// Numeric replies: query replies go to their handlers, the message of the day
// follows `skipmotd`, a nickname clash during login tries the alternative
// nickname and then asks the user; every other numeric prints word 3. Returns 1.
int reply_numeric(HandlerContext& context, const Reply& reply);

// Reply 001 (the welcome): printed like any numeric; the channel modes go back
// to their defaults until the server announces its own. Returns 1.
int Welcome(HandlerContext& context, const Reply& reply);

// Reply 005 (the server's features): printed like any numeric; its PREFIX
// token sets the member ranks of every user list, its CHANMODES, EXCEPTS and
// INVEX tokens which channel modes take a parameter. Returns 1.
int ServerFeatures(HandlerContext& context, const Reply& reply);

// Replies 432 and 433. Returns 1.
int NickClash(HandlerContext& context, const Reply& reply);

// The session's receiver of parsed lines.
class Dispatcher final : public ReplyDispatcher {
  public:
    explicit Dispatcher(HandlerContext& context) : m_context(context) {}

    void dispatch(const Reply& reply) override { kolu::DispatchReply(m_context, reply); }
    int DispatchReply(const Reply& reply) { return kolu::DispatchReply(m_context, reply); }

  private:
    HandlerContext& m_context;
};

}  // namespace kolu
