#include "ui/text_lines.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "ui/text_wrap.h"

namespace kolu {

TextLines::TextLines(const TextMetrics* metrics, int width) : m_metrics(metrics), m_width(width) {}

std::u16string_view TextLines::textOf(const Entry& entry) const {
    if (entry.length == 0) {
        return {};
    }
    return std::u16string_view(m_blocks[entry.block].data.get() + entry.offset, entry.length);
}

void TextLines::placeText(std::u16string_view text, Entry& entry) {
    entry.length = static_cast<std::uint32_t>(text.size());
    entry.block = 0;
    entry.offset = 0;
    if (text.empty()) {
        return;
    }
    const std::uint32_t length = entry.length;
    if (length > kOwnBlockUnits) {
        // Long lines get their own block so packing never wastes much of one.
        Block block;
        block.data.reset(new char16_t[length]);
        block.capacity = length;
        block.used = length;
        m_blocks.push_back(std::move(block));
        entry.block = static_cast<std::uint32_t>(m_blocks.size() - 1);
    } else {
        if (m_blocks.empty() ||
            m_blocks[m_openBlock].capacity - m_blocks[m_openBlock].used < length) {
            Block block;
            block.data.reset(new char16_t[kBlockUnits]);
            block.capacity = kBlockUnits;
            m_blocks.push_back(std::move(block));
            m_openBlock = static_cast<std::uint32_t>(m_blocks.size() - 1);
        }
        entry.block = m_openBlock;
        entry.offset = m_blocks[m_openBlock].used;
    }
    std::memcpy(m_blocks[entry.block].data.get() + entry.offset, text.data(),
                text.size() * sizeof(char16_t));
}

int TextLines::append(std::u16string_view text, Colour colour) {
    if (text.size() > UINT32_MAX) {
        return 0;
    }
    try {
        Entry entry{};
        placeText(text, entry);
        entry.colour = colour;
        // While a re-measure is pending the new line is measured with the others.
        entry.height = m_measured ? measure(text) : 0;
        m_lines.push_back(entry);
        if (entry.length > 0 && entry.length <= kOwnBlockUnits) {
            m_blocks[entry.block].used += entry.length;  // the text now belongs to a line
        }
        if (m_measured) {
            m_total += entry.height;
        }
    } catch (const std::bad_alloc&) {
        return 0;  // the line is dropped; the store stays as it was
    }
    const int total = totalHeight();
    if (m_observer) {
        m_observer->lineAppended(*this);
    }
    return total;
}

void TextLines::setWidth(int width) {
    if (width != m_width) {
        m_width = width;
        m_measured = false;
    }
}

void TextLines::setMetrics(const TextMetrics* metrics) {
    m_metrics = metrics;
    m_measured = false;
}

void TextLines::metricsChanged() {
    m_measured = false;
}

int TextLines::measure(std::u16string_view text) const {
    return m_metrics ? wrappedHeight(text, m_width, *m_metrics) : 0;
}

void TextLines::ensureMeasured() const {
    if (m_measured) {
        return;
    }
    std::int64_t total = 0;
    for (Entry& entry : m_lines) {
        entry.height = measure(textOf(entry));
        total += entry.height;
    }
    m_total = total;
    m_measured = true;
    ++m_generation;
}

TextLines::Line TextLines::line(std::size_t index) const {
    if (index >= m_lines.size()) {
        return {};
    }
    const Entry& entry = m_lines[index];
    return Line{textOf(entry), entry.colour};
}

int TextLines::lineHeight(std::size_t index) const {
    if (index >= m_lines.size()) {
        return 0;
    }
    ensureMeasured();
    return m_lines[index].height;
}

int TextLines::totalHeight() const {
    ensureMeasured();
    return m_total > INT_MAX ? INT_MAX : static_cast<int>(m_total);
}

std::uint64_t TextLines::heightsGeneration() const {
    ensureMeasured();
    return m_generation;
}

std::size_t TextLines::memoryBytes() const {
    std::size_t bytes = sizeof(*this);
    for (const Block& block : m_blocks) {
        bytes += block.capacity * sizeof(char16_t);
    }
    bytes += m_blocks.capacity() * sizeof(Block);
    // std::deque allocates fixed-size nodes of about 512 bytes, plus a map of
    // node pointers.
    constexpr std::size_t kNodeBytes = 512;
    const std::size_t perNode = std::max<std::size_t>(1, kNodeBytes / sizeof(Entry));
    const std::size_t nodes = m_lines.size() / perNode + 1;
    bytes += nodes * (kNodeBytes + sizeof(void*));
    return bytes;
}

}  // namespace kolu
