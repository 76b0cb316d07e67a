#include "protocol/tagged_lines.h"

#include <optional>

#include "platform/civil_time.h"
#include "protocol/guarded.h"
#include "protocol/session_state.h"
#include "ui/event_sounds.h"

namespace kolu {

void TaggedLineScope::begin(const Reply& reply) {
    HandlerContext& context = m_context;
    LineOutput& output = context.output;
    m_active = true;
    m_outerTime = output.lineTime();
    m_outerCollector = output.collector();
    m_outerMuted = context.sounds.muted();
    bool quiet = false;
    // A time that can't be read is no time: the clock's is used.
    if (const std::u16string* stamp = reply.tags.find(u"time")) {
        if (const std::optional<std::int64_t> at = parseUtcStamp(*stamp)) {
            if (const std::optional<SystemTime> local = localTimeAt(*at)) {
                m_time.local = *local;
                m_time.utcMs = *at;
                // Said before this connection began: a bouncer's or history replay.
                m_time.replayed =
                    context.state.connectedAtMs > 0 && *at < context.state.connectedAtMs;
                quiet = m_time.replayed;
                output.setLineTime(&m_time);
            }
        }
    }
    if (const std::u16string* ref = reply.tags.find(u"batch")) {
        Batches& batches = context.state.batches;
        if (batches.startLine(ref, reply.params.command())) {
            // One summary stands for the lines and their sounds alike.
            output.setCollector(&batches);
            quiet = true;
        }
    }
    context.sounds.setMuted(m_outerMuted || quiet);
}

void TaggedLineScope::end() {
    m_context.state.batches.endLine();
    m_context.output.setLineTime(m_outerTime);
    m_context.output.setCollector(m_outerCollector);
    m_context.sounds.setMuted(m_outerMuted);
}

int reply_BATCH(HandlerContext& context, const Reply& reply) {
    if (!context.state.caps.enabled(u"batch")) {
        return 0;
    }
    return guarded(context, u"reply_BATCH", [&] {
        const MessageParams& params = reply.params;
        const std::u16string& mark = params[0];
        if (mark.size() < 2) {
            return;  // no reference: nothing to open or close
        }
        const std::u16string_view ref = std::u16string_view(mark).substr(1);
        Batches& batches = context.state.batches;
        if (mark.front() == u'+') {
            const std::u16string* parent = reply.tags.find(u"batch");
            batches.open(ref, params[1], params.size() > 2 ? params.from(2) : std::u16string(),
                         parent ? *parent : std::u16string_view());
        } else if (mark.front() == u'-') {
            batches.close(ref, context.output, context.colours);
        }
    });
}

}  // namespace kolu
