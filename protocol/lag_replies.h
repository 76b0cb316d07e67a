#pragma once
// The answers to the client's own PINGs: the lag they measure, never a line of
// their own.
#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// "PONG <server> :<token>". An own token: the lag goes to the host and, with
// showlag on, to the status tab; returns 1. Any other PONG: 0, shown as ever.
int reply_OwnPong(HandlerContext& context, const Reply& reply);

}  // namespace kolu
