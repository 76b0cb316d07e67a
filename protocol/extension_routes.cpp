#include "protocol/extension_routes.h"

#include <array>

#include "platform/text.h"
#include "protocol/capability_replies.h"
#include "protocol/lag_replies.h"
#include "protocol/dispatcher.h"
#include "protocol/member_extensions.h"
#include "protocol/monitor.h"
#include "protocol/own_echoes.h"
#include "protocol/sasl_replies.h"
#include "protocol/standard_replies.h"
#include "protocol/tagged_lines.h"

namespace kolu {

namespace {

struct ExtensionRow {
    std::u16string_view command;
    ReplyHandler handler;
};

// By command word; numerics by their number as written. A handler returns 0
// to leave the line to the specified dispatch (a 421 about another command).
// The commonest lines come first: most lines are messages, and a match ends the search.
// clang-format off
constexpr std::array kExtensionRows{
    ExtensionRow{u"PRIVMSG", reply_OwnMessage},
    ExtensionRow{u"NOTICE", reply_OwnMessage},
    ExtensionRow{u"JOIN", JoinWithDetails},
    ExtensionRow{u"CAP", reply_CAP},
    // Tags without a message (typing notices and the like): nothing to show.
    ExtensionRow{u"TAGMSG", [](HandlerContext&, const Reply&) { return 1; }},
    ExtensionRow{u"001", EndNegotiationAtWelcome},
    ExtensionRow{u"410", HideCapabilityError},
    ExtensionRow{u"421", HideCapabilityError},
    ExtensionRow{u"451", HideCapabilityError},
    ExtensionRow{u"BATCH", reply_BATCH},
    ExtensionRow{u"401", ForgetRefusedEcho},
    ExtensionRow{u"403", ForgetRefusedEcho},
    ExtensionRow{u"404", ForgetRefusedEcho},
    ExtensionRow{u"407", ForgetRefusedEcho},
    ExtensionRow{u"413", ForgetRefusedEcho},
    ExtensionRow{u"414", ForgetRefusedEcho},
    ExtensionRow{u"AWAY", reply_AWAY},  // member extensions
    ExtensionRow{u"ACCOUNT", reply_ACCOUNT},
    ExtensionRow{u"CHGHOST", reply_CHGHOST},
    ExtensionRow{u"INVITE", InviteOfAnother},
    ExtensionRow{u"730", reply_MonOnline},
    ExtensionRow{u"731", reply_MonOffline},
    ExtensionRow{u"732", HideMonitorList},
    ExtensionRow{u"733", HideMonitorList},
    ExtensionRow{u"734", MonitorListFull},
    ExtensionRow{u"FAIL", ShowStandardReply},
    ExtensionRow{u"WARN", ShowStandardReply},
    ExtensionRow{u"NOTE", ShowStandardReply},
    ExtensionRow{u"AUTHENTICATE", reply_AUTHENTICATE},
    ExtensionRow{u"900", reply_LoggedInOut},
    ExtensionRow{u"901", reply_LoggedInOut},
    ExtensionRow{u"902", reply_SaslOutcome},
    ExtensionRow{u"903", reply_SaslOutcome},
    ExtensionRow{u"904", reply_SaslOutcome},
    ExtensionRow{u"905", reply_SaslOutcome},
    ExtensionRow{u"906", reply_SaslOutcome},
    ExtensionRow{u"907", reply_SaslOutcome},
    ExtensionRow{u"908", reply_SaslMechanisms},
    ExtensionRow{u"PONG", reply_OwnPong},
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
