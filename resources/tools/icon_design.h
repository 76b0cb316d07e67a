#pragma once
// The application icon: a blue speech bubble with its tail at the lower left and
// a white letter K. The shapes are laid out on a 256 x 256 grid and drawn at any
// size with 8 x 8 samples per pixel, so the small sizes keep smooth edges.
// packaging/icon.svg draws the same shapes with the same numbers: change both.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "resources/tools/picture_png.h"

namespace kolu::tools {

struct Point {
    double x, y;
};

// Even-odd rule: a point is inside when a ray to its right crosses the outline
// an odd number of times.
inline bool insidePolygon(std::span<const Point> corners, Point p) {
    bool inside = false;
    for (std::size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
        const Point a = corners[i], b = corners[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
            inside = !inside;
        }
    }
    return inside;
}

// The bubble's body: x 24..232, y 32..192, corners rounded by 40.
inline bool insideBubbleBody(Point p) {
    const double left = 24, top = 32, right = 232, bottom = 192, radius = 40;
    if (p.x < left || p.x > right || p.y < top || p.y > bottom) {
        return false;
    }
    const double cx = std::clamp(p.x, left + radius, right - radius);
    const double cy = std::clamp(p.y, top + radius, bottom - radius);
    return std::hypot(p.x - cx, p.y - cy) <= radius;
}

inline constexpr std::array<Point, 3> kBubbleTail = {{{64, 184}, {120, 184}, {48, 236}}};
// The K: a stem, an arm rising to the upper right and a leg to the lower right.
inline constexpr std::array<Point, 4> kLetterStem = {{{70, 60}, {102, 60}, {102, 164}, {70, 164}}};
inline constexpr std::array<Point, 4> kLetterArm = {{{102, 102}, {144, 60}, {188, 60}, {102, 146}}};
inline constexpr std::array<Point, 4> kLetterLeg = {
    {{114, 114}, {188, 164}, {138, 164}, {94, 130}}};

inline constexpr Rgba kBubbleTop{80, 160, 236, 255};
inline constexpr Rgba kBubbleBottom{34, 92, 184, 255};
inline constexpr Rgba kLetter{255, 255, 255, 255};

// The design's colour at a point of the 256 grid; transparent outside.
inline Rgba iconColourAt(Point p) {
    if (insidePolygon(kLetterStem, p) || insidePolygon(kLetterArm, p) ||
        insidePolygon(kLetterLeg, p)) {
        return kLetter;
    }
    if (insideBubbleBody(p) || insidePolygon(kBubbleTail, p)) {
        // The gradient runs from the bubble's top (32) to the tail's tip (236).
        const double t = std::clamp((p.y - 32) / (236 - 32), 0.0, 1.0);
        auto channel = [t](std::uint8_t from, std::uint8_t to) {
            return static_cast<std::uint8_t>(std::lround(from + (to - from) * t));
        };
        return {channel(kBubbleTop.r, kBubbleBottom.r), channel(kBubbleTop.g, kBubbleBottom.g),
                channel(kBubbleTop.b, kBubbleBottom.b), 255};
    }
    return {};
}

// The icon at `size` x `size` pixels: each pixel averages its samples with
// premultiplied alpha, so edge pixels take no colour from the transparent side.
inline RgbaPicture drawIcon(int size) {
    constexpr int kSamples = 8;
    RgbaPicture picture(size, size);
    const double step = 256.0 / size / kSamples;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Rgba c = iconColourAt(
                        {(x * kSamples + sx + 0.5) * step, (y * kSamples + sy + 0.5) * step});
                    const double weight = c.a / 255.0;
                    r += c.r * weight;
                    g += c.g * weight;
                    b += c.b * weight;
                    a += weight;
                }
            }
            if (a > 0) {
                auto channel = [a](double sum) {
                    return static_cast<std::uint8_t>(std::lround(std::min(255.0, sum / a)));
                };
                const auto alpha =
                    static_cast<std::uint8_t>(std::lround(255.0 * a / (kSamples * kSamples)));
                picture.set(x, y, {channel(r), channel(g), channel(b), alpha});
            }
        }
    }
    return picture;
}

}  // namespace kolu::tools
