#include "protocol/sasl_replies.h"

#include <string>

#include "protocol/capability_replies.h"
#include "protocol/guarded.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {

namespace {

void printInfo(HandlerContext& context, std::u16string_view text) {
    context.output.RIDodajLinie(u"", text, context.colours.of(LineClass::Info));
}

void sendAll(HandlerContext& context, const std::vector<std::u16string>& lines) {
    for (const std::u16string& line : lines) {
        context.connection.wys(context.state.socket, line);
    }
}

// The login is over: registration goes on, or, when the login failed and the
// account is required, the connection ends without a retry instead of going
// on as a guest.
void loginEnded(HandlerContext& context, bool failed) {
    SessionState& state = context.state;
    state.sasl.reset();
    state.caps.holdEnd(false);
    if (failed && state.saslLogin && state.saslLogin->required) {
        printInfo(context, u"*** The account login is required for this server: disconnecting");
        context.connection.wys(state.socket, u"QUIT");
        state.caps.stopNegotiating();
        context.connection.disconnectRequest();
        return;
    }
    finishNegotiationIfDone(context);
}

// The numerics are this client's to show only on a connection that logs in
// with SASL; elsewhere (a login through a service, say) they show as before.
bool saslInPlay(const SessionState& state) {
    return state.saslLogin.has_value() && state.caps.enabled(u"sasl");
}

void failedLocally(HandlerContext& context, const std::u16string& problem) {
    printInfo(context, u"*** SASL login failed: " + problem);
    loginEnded(context, true);
}

}  // namespace

void startSaslIfGranted(HandlerContext& context, bool wasEnabled) {
    SessionState& state = context.state;
    if (wasEnabled || !state.caps.enabled(u"sasl") || !state.saslLogin || state.sasl ||
        !state.caps.negotiating()) {
        return;
    }
    const std::u16string* offer = state.caps.offered(u"sasl");
    SaslExchange& exchange = state.sasl.emplace(*state.saslLogin, state.saslNonce);
    const std::optional<std::u16string> first = exchange.start(offer ? *offer : u"");
    if (!first) {
        failedLocally(context, exchange.problem());
        return;
    }
    state.caps.holdEnd(true);
    context.connection.wys(state.socket, *first);
}

void saslUnavailable(HandlerContext& context) {
    SessionState& state = context.state;
    if (!state.saslLogin || state.sasl || state.caps.enabled(u"sasl")) {
        return;
    }
    printInfo(context, u"*** SASL login failed: the server offers no account login");
    loginEnded(context, true);
}

int reply_AUTHENTICATE(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_AUTHENTICATE", [&] {
        SessionState& state = context.state;
        if (!state.sasl) {
            return;  // no login under way: nothing to answer, and nothing shown
        }
        sendAll(context, state.sasl->serverSays(reply.params[0]));
        if (state.sasl->failed()) {
            failedLocally(context, state.sasl->problem());
        }
    });
}

int reply_LoggedInOut(HandlerContext& context, const Reply& reply) {
    if (!saslInPlay(context.state)) {
        return 0;
    }
    return guarded(context, u"reply_LoggedInOut", [&] {
        // "900 <nick> <mask> <account> :text", "901 <nick> <mask> :text".
        const MessageParams& params = reply.params;
        const bool in = params.command() == u"900";
        const std::u16string& text = params[in ? 3 : 2];
        if (!text.empty()) {
            printInfo(context, u"*** " + text);
        } else {
            printInfo(context, in ? u"*** You are now logged in as " + params[2]
                                  : std::u16string(u"*** You are now logged out"));
        }
    });
}

int reply_SaslOutcome(HandlerContext& context, const Reply& reply) {
    if (!saslInPlay(context.state)) {
        return 0;
    }
    return guarded(context, u"reply_SaslOutcome", [&] {
        const std::u16string& number = reply.params.command();
        bool failed = true;
        if (number == u"902") {
            printInfo(context, u"*** SASL login failed: " + reply.params[1]);
        } else if (number == u"903") {
            printInfo(context, u"*** SASL login succeeded");
            failed = false;
        } else if (number == u"904") {
            printInfo(context,
                      u"*** SASL login failed: the account name or password was not accepted");
        } else if (number == u"905") {
            printInfo(context, u"*** SASL login failed: the login message was too long");
        } else if (number == u"906") {
            printInfo(context, u"*** SASL login aborted");
        } else {
            printInfo(context, u"*** SASL login not needed: already logged in");
            failed = false;
        }
        if (context.state.sasl) {
            loginEnded(context, failed);
        }
    });
}

int reply_SaslMechanisms(HandlerContext& context, const Reply& reply) {
    if (!saslInPlay(context.state)) {
        return 0;
    }
    return guarded(context, u"reply_SaslMechanisms", [&] {
        // "908 <nick> <mechanisms> :are available SASL mechanisms"
        const std::u16string& list = reply.params[1];
        const std::optional<SaslLogin>& login = context.state.saslLogin;
        if (login && !offersMechanism(list, login->mechanism)) {
            printInfo(context, u"*** The server does not offer SASL login with " +
                                   login->mechanism + u" (it offers " + list + u")");
        } else {
            printInfo(context, u"*** The server offers SASL login with " + list);
        }
    });
}

}  // namespace kolu
