#include "protocol/lag_check.h"

#include <algorithm>
#include <utility>

#include "platform/text.h"

namespace kolu {

void LagCheck::reset(std::uint64_t nowMs) {
    m_heardAt = nowMs;
    m_askedAt.reset();
}

void LagCheck::heard(std::uint64_t nowMs) {
    m_heardAt = nowMs;
}

std::optional<std::u16string> LagCheck::pingDue(std::uint64_t nowMs, std::uint64_t silenceMs) {
    if (m_askedAt || nowMs - m_heardAt < silenceMs) {
        return std::nullopt;
    }
    m_askedAt = nowMs;
    m_token = std::u16string(kTokenPrefix) + decimalText(static_cast<long long>(nowMs));
    return u"PING :" + m_token;
}

std::optional<std::uint64_t> LagCheck::answered(std::u16string_view token, std::uint64_t nowMs) {
    if (!m_askedAt || token != m_token) {
        return std::nullopt;
    }
    const std::uint64_t lag = nowMs - *std::exchange(m_askedAt, std::nullopt);
    return lag;
}

std::optional<std::uint64_t> LagCheck::timedOut(std::uint64_t nowMs, std::uint64_t silenceMs,
                                                std::uint64_t timeoutMs) const {
    const std::uint64_t since = m_askedAt ? std::max(*m_askedAt, m_heardAt) : m_heardAt;
    const std::uint64_t limit = m_askedAt ? timeoutMs : silenceMs + timeoutMs;
    if (nowMs - since < limit) {
        return std::nullopt;
    }
    return (nowMs - m_heardAt) / 1000;
}

}  // namespace kolu
