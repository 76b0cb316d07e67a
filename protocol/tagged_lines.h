#pragma once
// What a line's tags change about its handling: the time it was said (a "time"
// tag) and the batch it belongs to (a "batch" tag), set for the handling of that
// one line and put back after it. A line without tags is handled as it always was.
#include <cstdint>

#include "protocol/handler_context.h"
#include "protocol/reply.h"
#include "ui/line_output.h"

namespace kolu {

class TaggedLineScope {
  public:
    // Inline, so an untagged line costs one test.
    TaggedLineScope(HandlerContext& context, const Reply& reply) : m_context(context) {
        if (!reply.tags.empty()) {
            begin(reply);
        }
    }
    ~TaggedLineScope() {
        if (m_active) {
            end();
        }
    }
    TaggedLineScope(const TaggedLineScope&) = delete;
    TaggedLineScope& operator=(const TaggedLineScope&) = delete;

  private:
    void begin(const Reply& reply);
    void end();

    HandlerContext& m_context;
    LineTime m_time;
    bool m_active = false;
    const LineTime* m_outerTime = nullptr;
    LineCollector* m_outerCollector = nullptr;
    bool m_outerMuted = false;
};

// "BATCH +ref type [params]" opens a batch, "BATCH -ref" closes it and shows
// its summary lines. Returns 0 (the line is printed as ever) when batches were
// not negotiated.
int reply_BATCH(HandlerContext& context, const Reply& reply);

}  // namespace kolu
