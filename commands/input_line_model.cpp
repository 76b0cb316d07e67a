#include "commands/input_line_model.h"

#include <algorithm>
#include <unordered_set>

#include "platform/text.h"
#include "protocol/string_ops.h"

namespace kolu {

std::vector<std::u16string> enteredLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(u"\r\n", start), text.size());
        std::u16string line(text.substr(start, end - start));
        TrimRight(line);
        if (!line.empty()) {
            lines.push_back(std::move(line));
        }
        // Empty lines are dropped, so CR LF needs no case of its own.
        start = end + 1;
    }
    return lines;
}

void InputLineModel::setText(std::u16string_view text) {
    m_text.assign(text);
    m_selection = -1;
    notifyText();
}

void InputLineModel::addToHistory(std::span<const std::u16string> lines, std::size_t limit) {
    if (lines.empty()) {
        return;
    }
    if (m_history.empty() && m_observer) {
        m_observer->dropDownRoomNeeded();
    }
    // Newest first: each line is kept where it was sent last, up to the limit.
    std::unordered_set<std::u16string> seen;
    std::vector<std::u16string> kept;
    auto keep = [&](std::u16string entry) {
        std::u16string folded = entry;
        std::transform(folded.begin(), folded.end(), folded.begin(), foldCase);
        if (seen.insert(std::move(folded)).second) {
            kept.push_back(std::move(entry));
        }
    };
    for (auto line = lines.rbegin(); line != lines.rend() && kept.size() < limit; ++line) {
        keep(*line);
    }
    for (auto entry = m_history.rbegin(); entry != m_history.rend() && kept.size() < limit;
         ++entry) {
        keep(std::move(*entry));
    }
    std::reverse(kept.begin(), kept.end());
    m_history = std::move(kept);
    // Removing entries shifts the indexes; a selection can't be trusted afterwards.
    m_selection = -1;
    if (m_observer) {
        m_observer->historyChanged();
    }
}

void InputLineModel::select(int index) {
    if (index < 0 || index >= static_cast<int>(m_history.size())) {
        m_selection = -1;
        m_text.clear();
    } else {
        m_selection = index;
        m_text = m_history[static_cast<std::size_t>(index)];
    }
    notifyText();
}

void InputLineModel::historyUp() {
    const int count = static_cast<int>(m_history.size());
    if (count == 0) {
        return;
    }
    if (m_position > 0) {
        m_position = std::min(m_position - 1, count - 1);
    } else if (m_position < 0) {
        m_draft = m_text;
        m_position = count - 1;
    }
    select(m_position);
}

void InputLineModel::historyDown() {
    if (m_position < 0) {
        return;  // already at the line being typed
    }
    ++m_position;
    if (m_position >= static_cast<int>(m_history.size())) {
        m_position = -1;
        setText(m_draft);
        return;
    }
    select(m_position);
}

void InputLineModel::notifyText() {
    if (m_observer) {
        m_observer->textChanged();
    }
}

}  // namespace kolu
