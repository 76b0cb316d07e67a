#pragma once
// Standard replies: "FAIL|WARN|NOTE <command> <code> [<context>...] :<description>",
// shown in the status tab as a readable line naming the command, the code and
// the description.
#include <string>

#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

// The line shown for a standard reply ("*** JOIN failed (CHANNEL_FULL): ...").
std::u16string standardReplyText(const Reply& reply);

// Shows it in the Info colour. Returns 1.
int ShowStandardReply(HandlerContext& context, const Reply& reply);

}  // namespace kolu
