#include "ui/member_details.h"

namespace kolu {

std::u16string memberTooltip(std::u16string_view nickname, const MemberDetails* details) {
    if (!details) {
        return {};
    }
    std::u16string text(nickname);
    if (!details->userHost.empty()) {
        text += u" (" + details->userHost + u")";
    }
    if (!details->account.empty()) {
        text += u"\nAccount: " + details->account;
    }
    if (details->away) {
        text += u"\nAway";
        if (!details->awayReason.empty()) {
            text += u": " + details->awayReason;
        }
    }
    return text;
}

}  // namespace kolu
