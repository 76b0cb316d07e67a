#include "commands/message_split.h"

#include "platform/text.h"

namespace kolu {
namespace {

// The user and host names the server puts into the relayed prefix are not
// known here: room is kept for a user name of 10 bytes and a host of 63.
constexpr std::size_t kUserAllowance = 10;
constexpr std::size_t kHostAllowance = 63;
// The longest character in UTF-8.
constexpr std::size_t kLongestCharBytes = 4;

}  // namespace

std::u16string longLineRefusal(std::u16string_view line) {
    // The server would cut a longer line or drop the connection.
    const std::size_t bytes = utf8Size(line);
    if (bytes <= kMaxSentLineBytes) {
        return {};
    }
    return u"*** Line too long (" + decimalText(static_cast<long long>(bytes)) +
           u" bytes, at most " + decimalText(static_cast<long long>(kMaxSentLineBytes)) +
           u"): not sent";
}

std::vector<std::u16string> splitMessage(std::u16string_view text, std::u16string_view nick,
                                         std::u16string_view head, std::u16string_view tail) {
    // ":" nick "!" user "@" host " " before the line as it was sent.
    const std::size_t prefix = utf8Size(nick) + kUserAllowance + kHostAllowance + 4;
    const std::size_t fixed = prefix + utf8Size(head) + utf8Size(tail);
    std::vector<std::u16string> pieces;
    if (fixed + kLongestCharBytes > kMaxSentLineBytes) {
        return pieces;
    }
    const std::size_t room = kMaxSentLineBytes - fixed;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        std::size_t bytes = 0;
        std::size_t blank = std::u16string_view::npos;
        int units = 1;
        while (end < text.size()) {
            const auto size = static_cast<std::size_t>(utf8Length(text, end, units));
            if (bytes + size > room) {
                break;
            }
            if (text[end] == u' ' && end > start) {
                blank = end;
            }
            bytes += size;
            end += static_cast<std::size_t>(units);
        }
        if (end == text.size()) {
            pieces.emplace_back(text.substr(start));
            break;
        }
        // A blank just past the room ends the piece as well as one inside it.
        if (text[end] == u' ') {
            blank = end;
        }
        if (blank == std::u16string_view::npos) {
            pieces.emplace_back(text.substr(start, end - start));
            start = end;
        } else {
            pieces.emplace_back(text.substr(start, blank - start));
            start = blank + 1;
        }
    }
    return pieces;
}

}  // namespace kolu
