#include "protocol/extension_routes.h"

#include <array>

#include "platform/text.h"
#include "protocol/capability_replies.h"
#include "protocol/dispatcher.h"
#include "protocol/sasl_replies.h"

namespace kolu {

namespace {

struct ExtensionRow {
    std::u16string_view command;
    ReplyHandler handler;
};

// By command word; numerics by their number as written. A handler returns 0
// to leave the line to the specified dispatch (a 421 about another command).
constexpr std::array kExtensionRows{
    ExtensionRow{u"CAP", reply_CAP},
    ExtensionRow{u"001", EndNegotiationAtWelcome},
    ExtensionRow{u"410", HideCapabilityError},
    ExtensionRow{u"421", HideCapabilityError},
    ExtensionRow{u"451", HideCapabilityError},
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
};

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
