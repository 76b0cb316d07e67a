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
        Block block;
        block.data.reset(new char[length]);
        block.capacity = length;
        block.used = length;
        m_blocks.push_back(std::move(block));
        entry.block = static_cast<std::uint32_t>(m_blocks.size() - 1);
    } else {
        if (m_blocks.empty() ||
            m_blocks[m_openBlock].capacity - m_blocks[m_openBlock].used < length) {
            Block block;
            block.data.reset(new char[kBlockBytes]);
            block.capacity = kBlockBytes;
            m_blocks.push_back(std::move(block));
            m_openBlock = static_cast<std::uint32_t>(m_blocks.size() - 1);
        }
        entry.block = m_openBlock;
        entry.offset = m_blocks[m_openBlock].used;
    }
    std::memcpy(m_blocks[entry.block].data.get() + entry.offset, bytes.data(), bytes.size());
}

int TextLines::append(std::u16string_view text, Colour colour) {
    // Up to three bytes a code unit, and the length has 31 bits.
    if (text.size() > INT32_MAX / 3) {
        return 0;
    }
    try {
        encode(text, m_encoded);
        Entry entry{};
        placeText(m_encoded, entry);
        entry.formatted = hasControlCharacters(text);
        entry.colour = colour;
        // While a re-measure is pending the new line is measured with the others.
        entry.height = m_measured ? measure(text, entry.formatted) : 0;
        m_lines.push_back(entry);
        if (entry.length > 0 && entry.length <= kOwnBlockBytes) {
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
