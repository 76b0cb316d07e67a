#pragma once
// What a server with the member extensions tells about a channel member beyond
// its nickname and ranks: the address (from the names list, an extended JOIN or
// a host change), the services account and the away state. Kept per channel by
// the user list, only for members something is known of.
#include <string>
#include <string_view>

namespace kolu {

struct MemberDetails {
    std::u16string userHost;  // "user@host"; empty when unknown
    std::u16string account;   // empty: not logged in, or unknown
    bool away = false;
    std::u16string awayReason;

    bool operator==(const MemberDetails&) const = default;
};

// The hover text of a member's row: the nickname with its address, then the
// account and the away reason on lines of their own; empty when nothing is
// known (`details` null), so a row of a plain server shows no tip.
std::u16string memberTooltip(std::u16string_view nickname, const MemberDetails* details);

}  // namespace kolu
