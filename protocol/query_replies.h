#pragma once
// The server's numeric answers to the client's questions: names, WHOIS, away,
// ISON, topic, invitation and ban-list replies, including the work they
// complete (filling a joined channel's list, a ban by host, ban removal).
#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

int wypelnij_liste(HandlerContext& context, const Reply& reply);        // 353
int koniec_listy(HandlerContext& context, const Reply& reply);          // 366
int UserIsAway(HandlerContext& context, const Reply& reply);            // 301
int reply_ISON(HandlerContext& context, const Reply& reply);            // 303
int HostFromWhoisAutoban(HandlerContext& context, const Reply& reply);  // 311
int HideWhois(HandlerContext& context, const Reply& reply);             // 312, 317, 319, 338
int EndOfWhois(HandlerContext& context, const Reply& reply);            // 318
int ShowNoTopic(HandlerContext& context, const Reply& reply);           // 331
int ShowTopic(HandlerContext& context, const Reply& reply);             // 332
int TopicSetBy(HandlerContext& context, const Reply& reply);            // 333
int ShowInvited(HandlerContext& context, const Reply& reply);           // 341
int ban2list(HandlerContext& context, const Reply& reply);              // 367
int EndOfBanList(HandlerContext& context, const Reply& reply);          // 368
// Timer 3 fired: offers the collected ban list for removal.
int koniec_banlisty(HandlerContext& context);

}  // namespace kolu
