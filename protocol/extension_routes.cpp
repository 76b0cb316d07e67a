#include "protocol/extension_routes.h"

#include <array>

#include "platform/text.h"
#include "protocol/capability_replies.h"
#include "protocol/dispatcher.h"
#include "protocol/monitor.h"
#include "protocol/standard_replies.h"

namespace kolu {

namespace {

struct ExtensionRow {
    std::u16string_view command;
    ReplyHandler handler;
};

// By command word; numerics by their number as written. A handler returns 0
// to leave the line to the specified dispatch (a 421 about another command).
// clang-format off
constexpr std::array kExtensionRows{
    ExtensionRow{u"CAP", reply_CAP},
    ExtensionRow{u"001", EndNegotiationAtWelcome},
    ExtensionRow{u"410", HideCapabilityError},
    ExtensionRow{u"421", HideCapabilityError},
    ExtensionRow{u"451", HideCapabilityError},
    ExtensionRow{u"730", reply_MonOnline},
    ExtensionRow{u"731", reply_MonOffline},
    ExtensionRow{u"732", HideMonitorList},
    ExtensionRow{u"733", HideMonitorList},
    ExtensionRow{u"734", MonitorListFull},
    ExtensionRow{u"FAIL", ShowStandardReply},
    ExtensionRow{u"WARN", ShowStandardReply},
    ExtensionRow{u"NOTE", ShowStandardReply},
};
// clang-format on

}  // namespace

bool dispatchExtension(HandlerContext& context, const Reply& reply) {
    const std::u16string& command = reply.params.command();
    for (const ExtensionRow& row : kExtensionRows) {
        if (equalsIgnoreCase(command, row.command)) {
            return row.handler(context, reply) != 0;
        }
    }
    return false;
}

}  // namespace kolu
