#pragma once
// The server's answers in capability negotiation.
#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// "CAP <nick> LS|ACK|NAK|NEW|DEL [*] :list". Returns 1.
int reply_CAP(HandlerContext& context, const Reply& reply);

// Sends CAP END when nothing more is awaited.
void finishNegotiationIfDone(HandlerContext& context);

// A server that registers the client without CAP END knows no capabilities:
// the negotiation is over. Returns 0, so the welcome is shown as always.
int EndNegotiationAtWelcome(HandlerContext& context, const Reply& reply);

// The error a server from before capabilities answers CAP LS with (421
// unknown command, 451 not registered, 410 bad subcommand) is not shown while
// negotiating: 1 when hidden, else 0. An account login set for the server
// can't be made then, and is reported as failed.
int HideCapabilityError(HandlerContext& context, const Reply& reply);

}  // namespace kolu
