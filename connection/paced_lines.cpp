#include "connection/paced_lines.h"

#include "platform/text.h"

namespace kolu {

bool PacedLines::push(Line line) {
    m_lines.push_back(std::move(line));
    if (m_lines.size() > 1) {
        return false;
    }
    m_told = false;
    return true;
}

PacedLines::Line PacedLines::pop() {
    Line line = std::move(m_lines.front());
    m_lines.pop_front();
    return line;
}

std::size_t PacedLines::clear() {
    const std::size_t count = m_lines.size();
    m_lines.clear();
    return count;
}

std::optional<LineEcho> PacedLines::waitingNotice(std::uint32_t colour) {
    if (m_lines.empty() || m_told) {
        return std::nullopt;
    }
    m_told = true;
    const std::size_t count = m_lines.size();
    const std::optional<LineEcho>& next = m_lines.front().echo;
    return LineEcho{next ? next->tab : u"",
                    u"*** " + decimalText(static_cast<long long>(count)) +
                        (count == 1 ? u" line is" : u" lines are") +
                        u" waiting to be sent (Escape or /cancel drops them)",
                    colour};
}

}  // namespace kolu
