#include "protocol/monitor.h"

#include <algorithm>

#include "platform/text.h"
#include "protocol/guarded.h"
#include "protocol/notify_hooks.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {
namespace {

// What a protocol line holds before its CR LF.
constexpr std::size_t kLineBytes = 510;

// The targets of a 730/731, each without the "!user@host" that 730 adds.
template <typename Each>
void forEachTarget(std::u16string_view list, Each&& each) {
    while (!list.empty()) {
        const std::size_t comma = std::min(list.find(u','), list.size());
        const std::u16string_view target = list.substr(0, comma);
        const std::u16string_view nick =
            target.substr(0, std::min(target.find(u'!'), target.size()));
        if (!nick.empty()) {
            each(nick);
        }
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
}

}  // namespace

bool learnMonitor(SessionState& state, std::u16string_view token) {
    constexpr std::u16string_view kName = u"MONITOR";
    if (!token.starts_with(kName) || (token.size() > kName.size() && token[kName.size()] != u'=')) {
        return false;
    }
    std::size_t limit = 0;
    const std::u16string_view value = token.substr(std::min(token.size(), kName.size() + 1));
    for (const char16_t c : value) {
        if (c < u'0' || c > u'9' || limit > 1000000) {
            limit = 0;  // not a number: read as no limit, as a missing value is
            break;
        }
        limit = limit * 10 + static_cast<std::size_t>(c - u'0');
    }
    state.monitorLimit = limit;
    return true;
}

std::vector<std::u16string> monitorAddLines(const std::vector<std::u16string>& nicks) {
    constexpr std::u16string_view kCommand = u"MONITOR + ";
    std::vector<std::u16string> lines;
    std::u16string line;
    std::size_t bytes = 0;
    for (const std::u16string& nick : nicks) {
        const std::size_t nickBytes = utf8Size(nick);
        if (!line.empty() && bytes + 1 + nickBytes > kLineBytes) {
            lines.push_back(std::move(line));
            line.clear();
        }
        if (line.empty()) {
            line = kCommand;
            bytes = kCommand.size();
        } else {
            line += u',';
            ++bytes;
        }
        line += nick;
        bytes += nickBytes;
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

int reply_MonOnline(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_MonOnline", [&] {
        if (context.notify) {
            forEachTarget(reply.params[1],
                          [&](std::u16string_view nick) { context.notify->monitorArrived(nick); });
        }
    });
}

int reply_MonOffline(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_MonOffline", [&] {
        if (context.notify) {
            forEachTarget(reply.params[1],
                          [&](std::u16string_view nick) { context.notify->monitorLeft(nick); });
        }
    });
}

int HideMonitorList(HandlerContext&, const Reply&) {
    return 1;
}

int MonitorListFull(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"MonitorListFull", [&] {
        std::u16string nicks = reply.params[2];
        std::replace(nicks.begin(), nicks.end(), u',', u' ');
        context.output.RIDodajLinie(u"",
                                    u"*** The server's watch list is full (" + reply.params[1] +
                                        u" nicknames): not watched: " + nicks,
                                    context.colours.of(LineClass::Info));
    });
}

}  // namespace kolu
