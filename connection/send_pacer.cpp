#include "connection/send_pacer.h"

namespace kolu {

std::int64_t SendPacer::ahead(std::uint64_t now) const {
    return m_busyUntil > now ? static_cast<std::int64_t>(m_busyUntil - now) : 0;
}

bool SendPacer::tryTake(std::uint64_t now, int burst, int intervalMs) {
    if (waitMs(now, burst, intervalMs) > 0) {
        return false;
    }
    count(now, intervalMs);
    return true;
}

void SendPacer::count(std::uint64_t now, int intervalMs) {
    m_busyUntil = now + static_cast<std::uint64_t>(ahead(now) + intervalMs);
}

int SendPacer::waitMs(std::uint64_t now, int burst, int intervalMs) const {
    const std::int64_t allowed = static_cast<std::int64_t>(burst - 1) * intervalMs;
    const std::int64_t wait = ahead(now) - allowed;
    return wait > 0 ? static_cast<int>(wait) : 0;
}

}  // namespace kolu
