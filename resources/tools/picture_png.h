#pragma once
// A picture with transparency and its encoding as a PNG file (8-bit RGBA), the
// format desktops take for application icons. The zlib stream holds stored
// (uncompressed) blocks: the icons are small, and the encoder stays a few lines
// with no library behind it.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "resources/tools/output_file.h"

namespace kolu::tools {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

// Pixels in rows from the top; starts fully transparent.
class RgbaPicture {
  public:
    RgbaPicture(int width, int height)
        : m_width(width), m_height(height), m_pixels(static_cast<std::size_t>(width) * height) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgba at(int x, int y) const { return m_pixels[index(x, y)]; }
    void set(int x, int y, Rgba colour) { m_pixels[index(x, y)] = colour; }

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * m_width + static_cast<std::size_t>(x);
    }

    int m_width;
    int m_height;
    std::vector<Rgba> m_pixels;
};

inline void putBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
}

// The CRC-32 of PNG chunks (polynomial 0xEDB88320) over bytes [begin, end).
inline std::uint32_t pngCrc(const std::uint8_t* begin, const std::uint8_t* end) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t* p = begin; p != end; ++p) {
        crc = table[(crc ^ *p) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

// Length, type, data, then the CRC of type and data.
inline void putPngChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
                        const std::vector<std::uint8_t>& data) {
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    putTag(out, type);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, pngCrc(out.data() + typeStart, out.data() + out.size()));
}

// A zlib stream of stored blocks (at most 65535 bytes each) with its Adler-32.
inline std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out = {0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - offset, 65535);
        const bool last = offset + length == raw.size();
        out.push_back(last ? 1 : 0);
        putLe16(out, static_cast<std::uint32_t>(length));
        putLe16(out, static_cast<std::uint32_t>(~length & 0xFFFF));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
                   raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBe32(out, (b << 16) | a);
    return out;
}

// Signature, IHDR, one IDAT with every row unfiltered, IEND.
inline std::vector<std::uint8_t> encodePng(const RgbaPicture& picture) {
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBe32(header, static_cast<std::uint32_t>(picture.width()));
    putBe32(header, static_cast<std::uint32_t>(picture.height()));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace
    putPngChunk(out, "IHDR", header);

    std::vector<std::uint8_t> rows;
    rows.reserve(static_cast<std::size_t>(picture.height()) * (1 + 4 * picture.width()));
    for (int y = 0; y < picture.height(); ++y) {
        rows.push_back(0);  // filter type None
        for (int x = 0; x < picture.width(); ++x) {
            const Rgba pixel = picture.at(x, y);
            rows.insert(rows.end(), {pixel.r, pixel.g, pixel.b, pixel.a});
        }
    }
    putPngChunk(out, "IDAT", zlibStored(rows));
    putPngChunk(out, "IEND", {});
    return out;
}

}  // namespace kolu::tools
