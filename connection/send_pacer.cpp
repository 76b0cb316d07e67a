#include "connection/send_pacer.h"

namespace kolu {

std::int64_t SendPacer::ahead(std::uint32_t now) const {
    if (!m_busy) {
        return 0;
    }
    // The difference as a signed number survives the tick count's wrap.
    const auto diff = static_cast<std::int32_t>(m_busyUntil - now);
    return diff > 0 ? diff : 0;
}

bool SendPacer::tryTake(std::uint32_t now, int burst, int intervalMs) {
    if (waitMs(now, burst, intervalMs) > 0) {
        return false;
    }
    count(now, intervalMs);
    return true;
}

void SendPacer::count(std::uint32_t now, int intervalMs) {
    m_busyUntil = now + static_cast<std::uint32_t>(ahead(now) + intervalMs);
    m_busy = true;
}

int SendPacer::waitMs(std::uint32_t now, int burst, int intervalMs) const {
    const std::int64_t allowed = static_cast<std::int64_t>(burst - 1) * intervalMs;
    const std::int64_t wait = ahead(now) - allowed;
    return wait > 0 ? static_cast<int>(wait) : 0;
}

}  // namespace kolu
