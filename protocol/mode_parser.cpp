// MODE lines: the line printed for every mode change, and the walk over a
// channel mode string that keeps the user list's member ranks.
#include <new>
#include <string>

#include "platform/text.h"
#include "protocol/channel_events.h"
#include "protocol/string_ops.h"
#include "settings/error_log.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

// The MODE line is composed in a buffer of this many characters, terminator included.
constexpr std::size_t kModeLineBuffer = 256;

// Walks the parameters after the mode string, one per call, without ever
// moving past the end of the text.
class ModeParameters {
  public:
    ModeParameters(std::u16string_view text, std::size_t firstBlank)
        : m_text(text), m_position(firstBlank) {}

    // The next parameter; empty once they have run out. Some servers mark the
    // last parameter as a trailing one (":nick"); that colon is no part of it.
    std::u16string next() {
        if (m_position < m_text.size()) {
            ++m_position;  // past the blank NextWord stopped at
        }
        std::u16string parameter;
        m_position = NextWord(parameter, m_text, m_position);
        if (!parameter.empty() && parameter.front() == u':') {
            parameter.erase(0, 1);
        }
        return parameter;
    }

  private:
    std::u16string_view m_text;
    std::size_t m_position;
};

}  // namespace

int reply_MODE(HandlerContext& context, const Reply& reply) {
    try {
        const std::u16string_view setter = sourceNick(reply.word(0));
        std::u16string text = u"*** " + std::u16string(setter) + u" sets mode: " + reply.word(3);
        if (text.size() >= kModeLineBuffer) {
            text.resize(cutAtWholeChar(text, kModeLineBuffer - 1).size());
        }
        // A user mode the client set on itself belongs to the status tab.
        const std::u16string_view target =
            equalsIgnoreCase(setter, reply.word(2)) ? std::u16string_view() : reply.word(2);
        context.output.RIDodajLinie(target, text, context.colours.of(LineClass::Mode));
    } catch (const std::bad_alloc&) {
        context.log.LogError(u"LocalAlloc", u"reply_MODE", 0);
    }
    return ParsujMody(context, reply);
}

int ParsujMody(HandlerContext& context, const Reply& reply) {
    const std::u16string& word3 = reply.word(3);
    const std::size_t blank = word3.find(u' ');
    if (blank == std::u16string::npos) {
        return 1;  // no parameters, so no member's status changes
    }
    const std::u16string& channel = reply.word(2);
    const std::u16string_view modes = std::u16string_view(word3).substr(0, blank);
    try {
        ModeParameters parameters(word3, blank);
        const MemberRanks& ranks = context.tabs.memberRanks();
        bool plus = false;  // a mode string without a sign removes
        for (const char16_t mode : modes) {
            switch (mode) {
                case u'+':
                    plus = true;
                    break;
                case u'-':
                    plus = false;
                    break;
                case u'b':
                case u'k':
                case u'l':
                    parameters.next();  // a mask, key or limit: not a member
                    break;
                default:
                    // Operator and voice take a member even where the server
                    // announced other ranks.
                    if (mode == u'o' || mode == u'v' || ranks.rankOfMode(mode) >= 0) {
                        ZmienMod(context.tabs, context.sounds, channel, parameters.next(), mode,
                                 plus);
                    }
                    break;
            }
        }
    } catch (const std::bad_alloc&) {
        context.log.LogError(u"LocalAlloc", u"ParsujMody", 0);
    }
    return 1;
}

}  // namespace kolu
