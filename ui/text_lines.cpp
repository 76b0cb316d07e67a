#include "ui/text_lines.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/text.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

// UTF-16 to UTF-8, except that a surrogate without its partner is written as
// the three bytes of its own value (as WTF-8 does), so any code units the store
// is given come back unchanged.
void encode(std::u16string_view text, std::string& out) {
    out.resize(text.size() * 3);  // the most a code unit takes
    char* to = out.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit < 0x80) {
            *to++ = static_cast<char>(unit);
        } else if (unit < 0x800) {
            *to++ = static_cast<char>(0xC0 | (unit >> 6));
            *to++ = static_cast<char>(0x80 | (unit & 0x3F));
        } else if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            const char32_t point = codePointOfPair(text[i], text[i + 1]);
            ++i;
            *to++ = static_cast<char>(0xF0 | (point >> 18));
            *to++ = static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            *to++ = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (point & 0x3F));
        } else {
            *to++ = static_cast<char>(0xE0 | (unit >> 12));
            *to++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            *to++ = static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

// The inverse of encode; the bytes are the store's own, so they are not checked.
void decode(std::string_view bytes, std::u16string& out) {
    out.resize(bytes.size());  // never more code units than bytes
    char16_t* to = out.data();
    const auto* from = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = from + bytes.size();
    while (from < end) {
        const char32_t lead = *from;
        if (lead < 0x80) {
            *to++ = static_cast<char16_t>(lead);
            from += 1;
        } else if (lead < 0xE0) {
            *to++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (from[1] & 0x3F));
            from += 2;
        } else if (lead < 0xF0) {
            *to++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((from[1] & 0x3F) << 6) |
                                          (from[2] & 0x3F));
            from += 3;
        } else {
            const char32_t point = (((lead & 0x07) << 18) | ((from[1] & 0x3F) << 12) |
                                    ((from[2] & 0x3F) << 6) | (from[3] & 0x3F)) -
                                   0x10000;
            *to++ = static_cast<char16_t>(0xD800 + (point >> 10));
            *to++ = static_cast<char16_t>(0xDC00 + (point & 0x3FF));
            from += 4;
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

}  // namespace

TextLines::TextLines(const TextMetrics* metrics, int width) : m_metrics(metrics), m_width(width) {}

std::string_view TextLines::bytesOf(const Entry& entry) const {
    if (entry.length == 0) {
        return {};
    }
    return std::string_view(m_blocks[entry.block].data.get() + entry.offset, entry.length);
}

std::uint32_t TextLines::newBlock(std::uint32_t capacity) {
    Block block;
    block.data.reset(new char[capacity]);
    block.capacity = capacity;
    if (!m_freeBlocks.empty()) {
        const std::uint32_t slot = m_freeBlocks.back();
        m_freeBlocks.pop_back();
        m_blocks[slot] = std::move(block);
        return slot;
    }
    m_blocks.push_back(std::move(block));
    return static_cast<std::uint32_t>(m_blocks.size() - 1);
}

void TextLines::placeText(std::string_view bytes, Entry& entry) {
    entry.length = static_cast<std::uint32_t>(bytes.size());
    entry.block = 0;
    entry.offset = 0;
    if (bytes.empty()) {
        return;
    }
    const std::uint32_t length = entry.length;
    if (length > kOwnBlockBytes) {
        // Long lines get their own block so packing never wastes much of one.
        entry.block = newBlock(length);
        m_blocks[entry.block].used = length;
    } else {
        if (m_openBlock == kNoBlock ||
            m_blocks[m_openBlock].capacity - m_blocks[m_openBlock].used < length) {
            m_openBlock = newBlock(kBlockBytes);
        }
        entry.block = m_openBlock;
        entry.offset = m_blocks[m_openBlock].used;
    }
    std::memcpy(m_blocks[entry.block].data.get() + entry.offset, bytes.data(), bytes.size());
}

void TextLines::claimText(const Entry& entry) {
    if (entry.length == 0) {
        return;
    }
    Block& block = m_blocks[entry.block];
    if (entry.length <= kOwnBlockBytes) {
        block.used += entry.length;  // the text now belongs to a line
    }
    ++block.live;
}

void TextLines::releaseText(const Entry& entry) {
    if (entry.length == 0) {
        return;
    }
    Block& block = m_blocks[entry.block];
    if (--block.live > 0) {
        return;
    }
    if (entry.block == m_openBlock) {
        block.used = 0;  // packed again from the start
        return;
    }
    block = Block{};
    m_freeBlocks.push_back(entry.block);
}

std::int64_t TextLines::idOf(const Entry& entry) {
    return static_cast<std::int64_t>((std::uint64_t{entry.idHigh} << 32) | entry.idLow);
}

std::int64_t TextLines::id(std::size_t index) const {
    return index < m_lines.size() ? idOf(m_lines[index]) : 0;
}

bool TextLines::store(std::u16string_view text, Colour colour, std::int64_t id, bool front) {
    // Up to three bytes a code unit, and the length has 31 bits.
    if (text.size() > INT32_MAX / 3) {
        return false;
    }
    try {
        encode(text, m_encoded);
        Entry entry{};
        placeText(m_encoded, entry);
        entry.formatted = hasControlCharacters(text);
        entry.colour = colour;
        entry.idLow = static_cast<std::uint32_t>(static_cast<std::uint64_t>(id));
        entry.idHigh = static_cast<std::uint32_t>(static_cast<std::uint64_t>(id) >> 32);
        // While a re-measure is pending the new line is measured with the others.
        entry.height = m_measured ? measure(text, entry.formatted) : 0;
        if (front) {
            m_lines.push_front(entry);
            --m_first;
        } else {
            m_lines.push_back(entry);
        }
        claimText(entry);
        if (m_measured) {
            m_total += entry.height;
        }
    } catch (const std::bad_alloc&) {
        return false;  // the line is dropped; the store stays as it was
    }
    return true;
}

int TextLines::append(std::u16string_view text, Colour colour, std::int64_t id) {
    if (m_newestInMemory) {
        if (!store(text, colour, id, false)) {
            return 0;
        }
        LineShift shift;
        trimOldest(shift);
        if (shift.removedFront > 0) {
            tell(shift);
        }
    }
    const int total = totalHeight();
    if (m_observer) {
        m_observer->lineAppended(*this);
    }
    return total;
}

std::int64_t TextLines::dropFront(std::size_t count) {
    ensureMeasured();  // the heights that leave must be the ones the view placed
    std::int64_t height = 0;
    for (; count > 0 && !m_lines.empty(); --count) {
        height += m_lines.front().height;
        releaseText(m_lines.front());
        m_lines.pop_front();
        ++m_first;
    }
    m_total -= height;
    ++m_generation;
    return height;
}

std::int64_t TextLines::dropBack(std::size_t count) {
    ensureMeasured();
    std::int64_t height = 0;
    for (; count > 0 && !m_lines.empty(); --count) {
        height += m_lines.back().height;
        releaseText(m_lines.back());
        m_lines.pop_back();
    }
    m_total -= height;
    ++m_generation;
    return height;
}

void TextLines::trimOldest(LineShift& shift) {
    if (!m_source || m_lines.size() <= m_cap + kPageLines) {
        return;
    }
    shift.removedFront = m_lines.size() - m_cap;
    shift.removedFrontHeight = dropFront(shift.removedFront);
    m_olderInSource = true;
}

void TextLines::tell(const LineShift& shift) {
    if (m_observer) {
        m_observer->linesShifted(*this, shift);
    }
}

void TextLines::setPaging(LineSource* source, std::size_t cap) {
    m_source = source;
    m_cap = std::max<std::size_t>(cap, 1);
    if (!source) {
        m_olderInSource = false;
        m_newestInMemory = true;  // what was paged out stays out: nothing can read it back
        return;
    }
    // The source may hold lines from before this store began (a tab opened again):
    // the first read near the top finds out.
    m_olderInSource = true;
    LineShift shift;
    if (m_newestInMemory) {
        trimOldest(shift);
    }
    if (shift.removedFront > 0) {
        tell(shift);
    }
}

std::size_t TextLines::loadOlder(std::size_t count) {
    count = std::min(count, m_cap);
    if (!m_source || count == 0) {
        return 0;
    }
    const auto stored = std::find_if(m_lines.begin(), m_lines.end(),
                                     [](const Entry& entry) { return idOf(entry) != 0; });
    if (stored == m_lines.end()) {
        m_olderInSource = false;  // nothing here says where the source would go on
        return 0;
    }
    const std::vector<PagedLine> older = m_source->linesBefore(idOf(*stored), count);
    m_olderInSource = older.size() >= count;
    ensureMeasured();
    LineShift shift;
    for (auto line = older.rbegin(); line != older.rend(); ++line) {
        if (!store(line->text, line->colour, line->id, true)) {
            break;
        }
        ++shift.addedFront;
        shift.addedFrontHeight += m_lines.front().height;
    }
    if (m_lines.size() > m_cap + kPageLines) {
        shift.removedBack = m_lines.size() - m_cap;
        dropBack(shift.removedBack);
        m_newestInMemory = false;
    }
    ++m_generation;
    tell(shift);
    return shift.addedFront;
}

std::size_t TextLines::loadNewer(std::size_t count) {
    count = std::min(count, m_cap);
    if (!m_source || m_newestInMemory || count == 0) {
        return 0;
    }
    const auto stored = std::find_if(m_lines.rbegin(), m_lines.rend(),
                                     [](const Entry& entry) { return idOf(entry) != 0; });
    if (stored == m_lines.rend()) {
        loadNewest(count);  // nothing to continue from
        return m_lines.size();
    }
    const std::vector<PagedLine> newer = m_source->linesAfter(idOf(*stored), count);
    ensureMeasured();
    LineShift shift;
    for (const PagedLine& line : newer) {
        if (!store(line.text, line.colour, line.id, false)) {
            break;
        }
        ++shift.addedBack;
    }
    m_newestInMemory = shift.addedBack < count && shift.addedBack == newer.size();
    trimOldest(shift);
    tell(shift);
    return shift.addedBack;
}

void TextLines::loadNewest(std::size_t count) {
    count = std::min(count, m_cap);
    if (!m_source || count == 0) {
        return;
    }
    const std::vector<PagedLine> newest = m_source->linesBefore(INT64_MAX, count);
    replaceWith(newest);
    m_olderInSource = newest.size() >= count;
    m_newestInMemory = true;
    tell({.addedBack = m_lines.size(), .reset = true});
}

std::optional<std::size_t> TextLines::reveal(std::int64_t id) {
    if (id <= 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (idOf(m_lines[i]) == id) {
            return i;
        }
    }
    if (!m_source || id == INT64_MAX) {
        return std::nullopt;
    }
    const std::size_t half = std::max<std::size_t>(1, std::min(m_cap, kPageLines) / 2);
    std::vector<PagedLine> around = m_source->linesBefore(id + 1, half);
    if (around.empty() || around.back().id != id) {
        return std::nullopt;  // the store is left as it was
    }
    const bool older = around.size() >= half;
    const std::size_t index = around.size() - 1;
    std::vector<PagedLine> newer = m_source->linesAfter(id, half);
    const bool newest = newer.size() < half;
    around.insert(around.end(), std::make_move_iterator(newer.begin()),
                  std::make_move_iterator(newer.end()));
    replaceWith(around);
    m_olderInSource = older;
    m_newestInMemory = newest && m_lines.size() == around.size();
    tell({.addedBack = m_lines.size(), .reset = true});
    return index < m_lines.size() ? std::optional<std::size_t>(index) : std::nullopt;
}

void TextLines::replaceWith(const std::vector<PagedLine>& lines) {
    m_first = endPosition();
    m_lines.clear();
    m_blocks.clear();
    m_freeBlocks.clear();
    m_openBlock = kNoBlock;
    m_total = 0;
    for (const PagedLine& line : lines) {
        if (!store(line.text, line.colour, line.id, false)) {
            break;
        }
    }
    ++m_resets;
    ++m_generation;
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

int TextLines::measure(std::u16string_view text, bool formatted) const {
    if (!m_metrics) {
        return 0;
    }
    // Codes take no room: the plain text wraps as it is drawn.
    return wrappedHeight(formatted ? plainText(text) : text, m_width, *m_metrics);
}

void TextLines::ensureMeasured() const {
    if (m_measured) {
        return;
    }
    std::int64_t total = 0;
    for (Entry& entry : m_lines) {
        decode(bytesOf(entry), m_widened);
        entry.height = measure(m_widened, entry.formatted);
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
    Line line{{}, entry.colour, {}};
    decode(bytesOf(entry), line.text);
    if (entry.formatted) {
        FormattedText formatted = parseFormatting(line.text);
        line.text = std::move(formatted.plain);
        line.runs = std::move(formatted.runs);
    }
    return line;
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
        bytes += block.capacity;
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
