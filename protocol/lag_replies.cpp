#include "protocol/lag_replies.h"

#include "platform/clock.h"
#include "platform/text.h"
#include "protocol/guarded.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_output.h"

namespace kolu {

int reply_OwnPong(HandlerContext& context, const Reply& reply) {
    const std::size_t count = reply.params.size();
    // Some servers answer with the token alone.
    if (count == 0 || !reply.params[count - 1].starts_with(LagCheck::kTokenPrefix)) {
        return 0;
    }
    guarded(context, u"reply_OwnPong", [&] {
        const std::optional<std::uint64_t> lag =
            context.state.lag.answered(reply.params[count - 1], context.clock.monotonicMs());
        if (!lag) {
            return;  // an answer from before a reconnect: it measures nothing now
        }
        context.host.showLag(*lag);
        if (context.settings.switchOn(u"showlag")) {
            context.output.RIDodajLinie(u"", u"*** Lag: " + decimalText(static_cast<long long>(*lag)) + u" ms",
                                       context.colours.of(LineClass::Info));
        }
    });
    return 1;
}

}  // namespace kolu
