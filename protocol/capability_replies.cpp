#include "protocol/capability_replies.h"

#include <string>

#include "platform/text.h"
#include "protocol/sasl_replies.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {

namespace {

void sendAll(HandlerContext& context, const std::vector<std::u16string>& lines) {
    for (const std::u16string& line : lines) {
        context.connection.wys(context.state.socket, line);
    }
}

bool listsSasl(std::u16string_view list) {
    for (std::size_t at = list.find(u"sasl"); at != list.npos; at = list.find(u"sasl", at + 1)) {
        const std::size_t end = at + 4;
        if ((at == 0 || list[at - 1] == u' ') && (end == list.size() || list[end] == u' ')) {
            return true;
        }
    }
    return false;
}

// An "sts" offer is the server's security policy, handed to the connection;
// true when the connection is closing to return over TLS.
bool followStsOffer(HandlerContext& context) {
    const std::u16string* offer = context.state.caps.offered(u"sts");
    return offer != nullptr && context.connection.stsOffered(*offer);
}

}  // namespace

void finishNegotiationIfDone(HandlerContext& context) {
    if (const auto end = context.state.caps.finishNegotiation()) {
        context.connection.wys(context.state.socket, *end);
    }
}

int reply_CAP(HandlerContext& context, const Reply& reply) {
    // "CAP <nick> <subcommand> [*] :list": a "*" before the list says more follows.
    const MessageParams& params = reply.params;
    const std::u16string& subcommand = params[1];
    const bool more = params.size() > 3 && params[2] == u"*";
    const std::u16string& list = more ? params[3] : params[2];
    Capabilities& caps = context.state.caps;
    if (equalsIgnoreCase(subcommand, u"LS")) {
        if (caps.negotiating()) {
            const std::vector<std::u16string> requests =
                caps.offersListed(list, more, context.state.saslLogin.has_value());
            if (!more && followStsOffer(context)) {
                return 1;
            }
            sendAll(context, requests);
            if (!more) {
                if (!caps.offered(u"sasl")) {
                    saslUnavailable(context);
                }
                finishNegotiationIfDone(context);
            }
        }
    } else if (equalsIgnoreCase(subcommand, u"ACK")) {
        const bool hadSasl = caps.enabled(u"sasl");
        caps.granted(list);
        startSaslIfGranted(context, hadSasl);
        finishNegotiationIfDone(context);
    } else if (equalsIgnoreCase(subcommand, u"NAK")) {
        caps.refused(list);
        if (listsSasl(list)) {
            saslUnavailable(context);
        }
        finishNegotiationIfDone(context);
    } else if (equalsIgnoreCase(subcommand, u"NEW")) {
        const std::vector<std::u16string> requests = caps.offersAdded(list);
        if (!followStsOffer(context)) {
            sendAll(context, requests);
        }
    } else if (equalsIgnoreCase(subcommand, u"DEL")) {
        caps.offersRemoved(list);
    }
    return 1;
}

int EndNegotiationAtWelcome(HandlerContext& context, const Reply&) {
    context.state.caps.stopNegotiating();
    context.state.sasl.reset();  // registered: a login still under way can't change that
    return 0;
}

int HideCapabilityError(HandlerContext& context, const Reply& reply) {
    if (!context.state.caps.negotiating()) {
        return 0;
    }
    // "421 <nick> CAP :Unknown command"; 451 names the command on some servers only.
    const bool aboutCap = equalsIgnoreCase(reply.params[1], u"CAP");
    const bool isNotRegistered = reply.params.command() == u"451";
    if (!aboutCap && !isNotRegistered) {
        return 0;
    }
    context.state.caps.stopNegotiating();
    saslUnavailable(context);
    return 1;
}

}  // namespace kolu
