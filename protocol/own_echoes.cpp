#include "protocol/own_echoes.h"

#include "platform/text.h"
#include "protocol/guarded.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

constexpr char16_t kCtcpMark = u'\u0001';
constexpr std::u16string_view kEchoMessage = u"echo-message";

// The next word of `line` from `pos`, the blanks after it skipped.
std::u16string_view nextWord(std::u16string_view line, std::size_t& pos) {
    const std::size_t end = std::min(line.find(u' ', pos), line.size());
    const std::u16string_view word = line.substr(pos, end - pos);
    pos = line.find_first_not_of(u' ', end);
    pos = pos == std::u16string_view::npos ? line.size() : pos;
    return word;
}

// The nickname service may be told a password: a line to it that the client
// did not echo itself is not shown.
bool isPasswordService(std::u16string_view target) {
    return equalsIgnoreCase(target.substr(0, target.find(u'@')), u"NickServ");
}

// An own message sent from another client: shown as this client shows what it sends.
void showOwnLine(HandlerContext& context, std::u16string_view command, std::u16string_view target,
                 std::u16string_view text) {
    const std::u16string& nick = context.state.currentNick;
    const bool notice = equalsIgnoreCase(command, u"NOTICE");
    const std::u16string to(target);
    if (isPasswordService(target)) {
        return;
    }
    if (!text.empty() && text.front() == kCtcpMark) {
        if (notice) {
            return;  // the answers to CTCP requests were never shown
        }
        std::u16string_view body = text.substr(1);
        body = body.substr(0, body.find(kCtcpMark));
        const std::u16string_view word = body.substr(0, body.find(u' '));
        if (equalsIgnoreCase(word, u"ACTION")) {
            const std::u16string_view action =
                word.size() < body.size() ? body.substr(word.size() + 1) : std::u16string_view();
            context.output.RIDodajLinie(to, u"* " + nick + u" " + std::u16string(action),
                                        context.colours.of(LineClass::Action));
        } else {
            context.output.RIDodajLinie(to, u"-> [" + to + u"] " + std::u16string(word),
                                        context.colours.of(LineClass::Ping));
        }
        return;
    }
    const Colour normal = context.colours.of(LineClass::Normal);
    if (notice) {
        context.output.RIDodajLinie(to, u"-> -" + to + u"- " + std::u16string(text), normal);
    } else if (context.tabs.znajdz_zakladke(target) >= 0) {
        context.output.RIDodajLinie(to, u"<" + nick + u"> " + std::u16string(text), normal);
    } else {
        context.output.RIDodajLinie(u"", u"-> *" + to + u"* " + std::u16string(text), normal);
    }
}

// A PRIVMSG or NOTICE while the server echoes messages: 0 unless it is the
// client's own.
int showOwnMessage(HandlerContext& context, const Reply& reply) {
    SessionState& state = context.state;
    const std::u16string_view nick = sourceNick(reply.params.source());
    if (nick.empty() || !equalsIgnoreCase(nick, state.currentNick)) {
        return 0;
    }
    return guarded(context, u"reply_OwnMessage", [&] {
        const std::u16string& command = reply.params.command();
        const std::u16string& target = reply.params[0];
        const std::u16string text = reply.params.from(1);
        const bool toSelf = equalsIgnoreCase(target, state.currentNick);
        if (std::optional<LineEcho> echo = state.echoes.take(command, target, text)) {
            if (toSelf) {
                state.echoes.shownToSelf(command, text);
            }
            context.output.RIDodajLinie(echo->tab, echo->text, echo->colour);
            return;
        }
        if (toSelf && state.echoes.takeSecondCopy(command, text)) {
            return;
        }
        showOwnLine(context, command, target, text);
    });
}

}  // namespace

bool PendingEchoes::await(std::u16string_view line, LineEcho echo, std::uint64_t nowMs) {
    std::size_t pos = 0;
    const std::u16string_view command = nextWord(line, pos);
    if (!equalsIgnoreCase(command, u"PRIVMSG") && !equalsIgnoreCase(command, u"NOTICE")) {
        return false;
    }
    const std::u16string_view target = nextWord(line, pos);
    std::u16string_view text = line.substr(pos);
    if (!text.empty() && text.front() == u':') {
        text.remove_prefix(1);
    }
    while (!m_waiting.empty() &&
           (m_waiting.size() >= kMaxWaiting || nowMs - m_waiting.front().sentAt > kMaxWaitMs)) {
        m_waiting.pop_front();
    }
    m_waiting.push_back({std::u16string(command), std::u16string(target), std::u16string(text),
                         std::move(echo), nowMs});
    return true;
}

std::optional<LineEcho> PendingEchoes::take(std::u16string_view command, std::u16string_view target,
                                            std::u16string_view text) {
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (it->text == text && equalsIgnoreCase(it->target, target) &&
            equalsIgnoreCase(it->command, command)) {
            LineEcho echo = std::move(it->echo);
            m_waiting.erase(it);
            return echo;
        }
    }
    return std::nullopt;
}

bool PendingEchoes::refused(std::u16string_view target) {
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        if (equalsIgnoreCase(it->target, target)) {
            m_waiting.erase(it);
            return true;
        }
    }
    return false;
}

void PendingEchoes::clear() {
    m_waiting.clear();
    m_selfCopy.reset();
}

void PendingEchoes::shownToSelf(std::u16string_view command, std::u16string_view text) {
    m_selfCopy = std::u16string(command) + u' ' + std::u16string(text);
}

bool PendingEchoes::takeSecondCopy(std::u16string_view command, std::u16string_view text) {
    if (!m_selfCopy || m_selfCopy->size() != command.size() + 1 + text.size() ||
        !equalsIgnoreCase(std::u16string_view(*m_selfCopy).substr(0, command.size()), command) ||
        std::u16string_view(*m_selfCopy).substr(command.size() + 1) != text) {
        return false;
    }
    m_selfCopy.reset();
    return true;
}

int reply_OwnMessage(HandlerContext& context, const Reply& reply) {
    // Every message passes here: the common answer stays cheap.
    if (!context.state.caps.enabled(kEchoMessage)) {
        return 0;
    }
    return showOwnMessage(context, reply);
}

int ForgetRefusedEcho(HandlerContext& context, const Reply& reply) {
    if (context.state.echoes.size() > 0) {
        context.state.echoes.refused(reply.params[1]);
    }
    return 0;
}

}  // namespace kolu
