#pragma once
// JOIN, PART, NICK, QUIT, TOPIC, INVITE, KICK, MODE and the server's closing
// line: printed in the right tabs, creating and removing channel tabs and
// keeping the user lists current.
#include <string_view>

#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

int reply_JOIN(HandlerContext& context, const Reply& reply);
int reply_PART(HandlerContext& context, const Reply& reply);
int reply_NICK(HandlerContext& context, const Reply& reply);
int DisplayNICK(HandlerContext& context, std::u16string_view oldNick, std::u16string_view newNick,
                std::u16string_view text);
int reply_QUIT(HandlerContext& context, const Reply& reply);
int DisplayQUIT(HandlerContext& context, std::u16string_view nick, std::u16string_view text);
int reply_Disconnected(HandlerContext& context, const Reply& reply);
int reply_TOPIC(HandlerContext& context, const Reply& reply);
int reply_INVITE(HandlerContext& context, const Reply& reply);
int reply_KICK(HandlerContext& context, const Reply& reply);
int reply_MODE(HandlerContext& context, const Reply& reply);
int ParsujMody(HandlerContext& context, const Reply& reply);

}  // namespace kolu
