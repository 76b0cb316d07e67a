#pragma once
// Lines that only come from a server the client negotiated extensions with
// (CAP, AUTHENTICATE, the account numerics, AWAY, ACCOUNT, CHGHOST, BATCH,
// FAIL/WARN/NOTE, MONITOR's numerics): handled here, before the specified
// dispatch order sees the line, so that order stays as it is for every other.
#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// True when the line was one of these and has been handled.
bool dispatchExtension(HandlerContext& context, const Reply& reply);

}  // namespace kolu
