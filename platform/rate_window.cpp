#include "platform/rate_window.h"

namespace kolu {

bool RateWindow::allow(std::uint32_t now, std::uint32_t limit, std::uint32_t windowMs) {
    while (!m_times.empty() && now - m_times.front() >= windowMs) {
        m_times.pop_front();
    }
    // A limit lowered since the last event leaves more times than it allows: none go.
    if (m_times.size() >= limit) {
        return false;
    }
    m_times.push_back(now);
    return true;
}

}  // namespace kolu
