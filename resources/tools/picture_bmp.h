#pragma once
// An RGB picture in memory and its encoding as an uncompressed 24-bit BMP, the
// format the client lists as background pictures ("*.bmp") and lightens byte by
// byte toward white.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "resources/tools/output_file.h"

namespace kolu::tools {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Mixes `to` into `from` with weight 0 (all `from`) to 1 (all `to`).
inline Rgb mixRgb(Rgb from, Rgb to, double weight) {
    weight = std::clamp(weight, 0.0, 1.0);
    auto channel = [weight](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * weight));
    };
    return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

// Pixels in rows from the top, as drawn; the encoder turns them bottom-up.
class Picture {
  public:
    Picture(int width, int height, Rgb fill)
        : m_width(width),
          m_height(height),
          m_pixels(static_cast<std::size_t>(width) * height, fill) {}

    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgb at(int x, int y) const { return m_pixels[index(x, y)]; }
    void set(int x, int y, Rgb colour) { m_pixels[index(x, y)] = colour; }
    void blend(int x, int y, Rgb colour, double weight) {
        m_pixels[index(x, y)] = mixRgb(m_pixels[index(x, y)], colour, weight);
    }

  private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * m_width + static_cast<std::size_t>(x);
    }

    int m_width;
    int m_height;
    std::vector<Rgb> m_pixels;
};

// Bytes of one stored row: 3 per pixel, padded to a multiple of 4.
inline std::uint32_t bmpRowBytes(int width) {
    return (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
}

// BITMAPFILEHEADER + BITMAPINFOHEADER (54 bytes), then bottom-up BGR rows.
inline std::vector<std::uint8_t> encodeBmp24(const Picture& picture) {
    const std::uint32_t rowBytes = bmpRowBytes(picture.width());
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(picture.height());
    std::vector<std::uint8_t> out;
    out.reserve(54 + imageBytes);
    out.push_back('B');
    out.push_back('M');
    putLe32(out, 54 + imageBytes);  // file size
    putLe32(out, 0);                // reserved
    putLe32(out, 54);               // offset of the pixels
    putLe32(out, 40);               // info header size
    putLe32(out, static_cast<std::uint32_t>(picture.width()));
    putLe32(out, static_cast<std::uint32_t>(picture.height()));  // positive: bottom-up
    putLe16(out, 1);                                             // planes
    putLe16(out, 24);                                            // bits per pixel
    putLe32(out, 0);                                             // no compression
    putLe32(out, imageBytes);
    putLe32(out, 2835);  // 72 dots per inch, horizontally
    putLe32(out, 2835);  // and vertically
    putLe32(out, 0);     // no colour table
    putLe32(out, 0);
    for (int y = picture.height() - 1; y >= 0; --y) {
        for (int x = 0; x < picture.width(); ++x) {
            const Rgb pixel = picture.at(x, y);
            out.push_back(pixel.b);
            out.push_back(pixel.g);
            out.push_back(pixel.r);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(picture.width()) * 3; pad < rowBytes;
             ++pad) {
            out.push_back(0);
        }
    }
    return out;
}

}  // namespace kolu::tools
