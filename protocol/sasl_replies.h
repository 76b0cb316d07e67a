#pragma once
// The account login while registering: starting it when the server grants
// "sasl", the AUTHENTICATE exchange, and the numerics that tell how it went
// (900-908). CAP END waits until the login has ended.
#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// After a CAP ACK: starts the login when "sasl" was just granted (it was not
// enabled before) and there is an account to log in to.
void startSaslIfGranted(HandlerContext& context, bool wasEnabled);
// The server's capability list ended, or it refused "sasl": with an account to
// log in to, says the login can't be made (and ends the connection when it is required).
void saslUnavailable(HandlerContext& context);

// "AUTHENTICATE <data>". Returns 1.
int reply_AUTHENTICATE(HandlerContext& context, const Reply& reply);
// On a connection that logs in with SASL (else they return 0 and the
// numerics show as any other):
// 900 logged in, 901 logged out: the server's text. Returns 1.
int reply_LoggedInOut(HandlerContext& context, const Reply& reply);
// 902-907: the login's outcome. Returns 1.
int reply_SaslOutcome(HandlerContext& context, const Reply& reply);
// 908: the mechanisms the server knows. Returns 1.
int reply_SaslMechanisms(HandlerContext& context, const Reply& reply);

}  // namespace kolu
