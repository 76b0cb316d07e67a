#pragma once
// MONITOR, the server's own watch of nicknames that the notify list uses
// instead of polling with ISON: its 005 token, the lines that hand the server
// the list, and the server's answers (730 came, 731 went, 732/733 the list, 734
// the list is full).
#include <string>
#include <string_view>
#include <vector>

#include "protocol/handler_context.h"
#include "protocol/reply.h"

namespace kolu {

struct SessionState;

// A 005 token "MONITOR" or "MONITOR=<limit>" sets state.monitorLimit (no or an
// unreadable value: no limit); false for any other token.
bool learnMonitor(SessionState& state, std::u16string_view token);

// "MONITOR + a,b,c" lines for `nicks`, in order, each at most a protocol line
// of 510 bytes; none for no nicknames.
std::vector<std::u16string> monitorAddLines(const std::vector<std::u16string>& nicks);

// "730 <me> :nick!user@host,..." and "731 <me> :nick,...". Return 1.
int reply_MonOnline(HandlerContext& context, const Reply& reply);
int reply_MonOffline(HandlerContext& context, const Reply& reply);
// 732/733, the list as the server holds it: the client asked for none of it.
int HideMonitorList(HandlerContext& context, const Reply& reply);
// "734 <me> <limit> <nicks> :Monitor list is full."
int MonitorListFull(HandlerContext& context, const Reply& reply);

}  // namespace kolu
