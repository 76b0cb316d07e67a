#pragma once
// What the member extensions tell about the people in the client's channels:
// their addresses (userhost-in-names, chghost), accounts (account-notify,
// extended-join) and away state (away-notify), kept in each channel's user list
// without printing anything; and invitations of others (invite-notify), shown
// in the channel they are for. Each handler returns 1 when it handled the
// line, 0 to leave it to the specified dispatch.
#include <string_view>

#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

int reply_AWAY(HandlerContext& context, const Reply& reply);
int reply_ACCOUNT(HandlerContext& context, const Reply& reply);
int reply_CHGHOST(HandlerContext& context, const Reply& reply);
// A JOIN while addresses or accounts are kept: handled as always, then the
// member's address and (extended-join) account are noted.
int JoinWithDetails(HandlerContext& context, const Reply& reply);
// An INVITE of someone else (invite-notify); one of the client goes on as always.
int InviteOfAnother(HandlerContext& context, const Reply& reply);

// One entry of a names reply into `channel`'s list, checked for a duplicate
// when `checked`. With userhost-in-names an entry is "@nick!user@host": the
// member is the part before "!", and its address is kept.
void addNamesEntry(HandlerContext& context, std::u16string_view channel, std::u16string_view entry,
                   bool checked);

}  // namespace kolu
