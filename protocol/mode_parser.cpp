// MODE lines: the line printed for every mode change, and the walk over a
// channel mode string that keeps the user list's member ranks.
#include <new>
#include <string>

#include "platform/text.h"
#include "protocol/channel_events.h"
#include "protocol/session_state.h"
#include "settings/error_log.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

// The MODE line is composed in a buffer of this many characters, terminator included.
constexpr std::size_t kModeLineBuffer = 256;

}  // namespace

int reply_MODE(HandlerContext& context, const Reply& reply) {
    try {
        const std::u16string_view setter = sourceNick(reply.word(0));
        const MessageParams& params = reply.params;
        // The modes and their parameters as the server meant them: a last
        // parameter's colon is no part of what was set.
        std::u16string text = u"*** " + std::u16string(setter) + u" sets mode: " + params.from(1);
        if (text.size() >= kModeLineBuffer) {
            text.resize(cutAtWholeChar(text, kModeLineBuffer - 1).size());
        }
        // A user mode the client set on itself belongs to the status tab.
        const std::u16string_view target =
            equalsIgnoreCase(setter, params[0]) ? std::u16string_view() : params[0];
        context.output.RIDodajLinie(target, text, context.colours.of(LineClass::Mode));
    } catch (const std::bad_alloc&) {
        context.log.LogError(u"LocalAlloc", u"reply_MODE", 0);
    }
    return ParsujMody(context, reply);
}

int ParsujMody(HandlerContext& context, const Reply& reply) {
    const MessageParams& params = reply.params;
    if (params.size() < 3) {
        return 1;  // no parameters, so no member's status changes
    }
    const std::u16string_view channel = params[0];
    const std::u16string_view modes = params[1];
    try {
        std::size_t next = 2;  // parameters are taken in turn; missing ones read as empty
        const MemberRanks& ranks = context.tabs.memberRanks();
        bool plus = false;  // a mode string without a sign removes
        for (const char16_t mode : modes) {
            if (mode == u'+' || mode == u'-') {
                plus = mode == u'+';
            } else if (mode == u'o' || mode == u'v' || ranks.rankOfMode(mode) >= 0) {
                // Operator and voice take a member even where the server
                // announced other ranks.
                ZmienMod(context.tabs, context.sounds, channel, params[next++], mode, plus);
            } else if (context.state.channelModes.takesParameter(mode, plus)) {
                ++next;  // a mask, key or limit: not a member
            }
        }
    } catch (const std::bad_alloc&) {
        context.log.LogError(u"LocalAlloc", u"ParsujMody", 0);
    }
    return 1;
}

}  // namespace kolu
