#pragma once
// A limit on how often something may happen, over the injectable clock's ticks.
#include <cstdint>
#include <deque>

namespace kolu {

// A sliding window: an event may go while fewer than `limit` events went in the
// `windowMs` milliseconds before it. A fixed window would let twice the limit
// through around its edge; keeping the last `limit` times costs little.
// Ticks wrap at 2^32: ages are unsigned differences, so a wrap in between is harmless.
class RateWindow {
  public:
    // Whether an event at `now` may go; one that may is counted.
    bool allow(std::uint32_t now, std::uint32_t limit, std::uint32_t windowMs);

  private:
    std::deque<std::uint32_t> m_times;  // the events that went, oldest first
};

}  // namespace kolu
