#pragma once
// What people say: channel and private messages, notices, the CTCP ACTION and
// PING requests, the server's keep-alive PING, highlights and the ignore list.
#include <string_view>

#include "protocol/handler_context.h"
#include "protocol/reply.h"
#include "settings/colour_table.h"

namespace kolu {

int reply_PRIVMSG(HandlerContext& context, const Reply& reply);
int reply_NOTICE(HandlerContext& context, const Reply& reply);
int reply_PING(HandlerContext& context, const Reply& reply);
int Parsuj_mIRC(HandlerContext& context, const Reply& reply);
int ShowAction(HandlerContext& context, const Reply& reply, std::u16string_view action);
int WyswietlAction(HandlerContext& context, std::u16string_view nick, std::u16string_view target,
                   std::u16string_view action);
int reply_mIRC_PING(HandlerContext& context, const Reply& reply, std::u16string_view argument);
// The highlight colour when `text` holds a highlight entry (and `matched` set), else `colour`.
Colour HighlightLine(HandlerContext& context, std::u16string_view text, Colour colour,
                     bool* matched = nullptr);

}  // namespace kolu
