#pragma once
// The drawn buttons' pixel art (20 x 20, stretched by the client) and the splash
// picture. A button is a base picture drawn with black transparent and, over it,
// one picture per state drawn with white transparent: so the base's corners are
// pure black, the state pictures' background pure white, and nothing meant to
// show uses either colour.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "resources/tools/picture_bmp.h"

namespace kolu::tools {

inline constexpr int kButtonSize = 20;
inline constexpr Rgb kKeyBlack{0, 0, 0};
inline constexpr Rgb kKeyWhite{255, 255, 255};

// Inside the button's face: a square 1 pixel in from the edges with corners
// rounded by 3 pixels.
inline bool insideButton(int x, int y) {
    const int lo = 1, hi = kButtonSize - 2, radius = 3;
    if (x < lo || x > hi || y < lo || y > hi) {
        return false;
    }
    const int cx = std::clamp(x, lo + radius, hi - radius);
    const int cy = std::clamp(y, lo + radius, hi - radius);
    const int dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
}

// A face pixel next to a pixel outside the face.
inline bool buttonEdge(int x, int y) {
    return insideButton(x, y) && (!insideButton(x - 1, y) || !insideButton(x + 1, y) ||
                                  !insideButton(x, y - 1) || !insideButton(x, y + 1));
}

// 5202: a raised, pale face with a slate outline on black.
inline Picture drawButtonBase() {
    Picture picture(kButtonSize, kButtonSize, kKeyBlack);
    const Rgb top{252, 253, 255}, bottom{200, 209, 223}, outline{92, 106, 130};
    for (int y = 0; y < kButtonSize; ++y) {
        for (int x = 0; x < kButtonSize; ++x) {
            if (buttonEdge(x, y)) {
                picture.set(x, y, outline);
            } else if (insideButton(x, y)) {
                picture.set(x, y, mixRgb(top, bottom, (y - 2) / 15.0));
            }
        }
    }
    return picture;
}

// A state picture: white (clear) everywhere; a pressed one also covers the inner
// face with a darker, sunken shade whose light comes from below.
inline Picture buttonState(bool pressed) {
    Picture picture(kButtonSize, kButtonSize, kKeyWhite);
    if (pressed) {
        const Rgb top{168, 180, 200}, bottom{214, 221, 232};
        for (int y = 0; y < kButtonSize; ++y) {
            for (int x = 0; x < kButtonSize; ++x) {
                if (insideButton(x, y) && !buttonEdge(x, y)) {
                    picture.set(x, y, mixRgb(top, bottom, (y - 2) / 15.0));
                }
            }
        }
    }
    return picture;
}

// Plots an icon pixel; a pressed icon is drawn one pixel down and right.
struct IconPen {
    Picture& picture;
    bool pressed;
    void plot(int x, int y) const {
        const Rgb ink = pressed ? Rgb{22, 88, 186} : Rgb{44, 56, 78};
        const int px = x + (pressed ? 1 : 0), py = y + (pressed ? 1 : 0);
        if (px >= 0 && py >= 0 && px < kButtonSize && py < kButtonSize) {
            picture.set(px, py, ink);
        }
    }
    // The same pixel in all four corners (mirrored across both middles).
    void plotMirrored(int x, int y) const {
        plot(x, y);
        plot(kButtonSize - 1 - x, y);
        plot(x, kButtonSize - 1 - y);
        plot(kButtonSize - 1 - x, kButtonSize - 1 - y);
    }
};

// 5204 / 5205: a double-headed arrow across the boundary it drags.
inline Picture drawSlide(bool pressed) {
    Picture picture = buttonState(pressed);
    const IconPen pen{picture, pressed};
    for (int x = 5; x <= 13; ++x) {
        pen.plot(x, 9);
        pen.plot(x, 10);
    }
    for (int d = 0; d <= 3; ++d) {
        for (int y = 9 - d; y <= 10 + d; ++y) {
            pen.plot(2 + d, y);
            pen.plot(16 - d, y);
        }
    }
    return picture;
}

// 5206 / 5207: arrows out into the four corners (enter full screen).
inline Picture drawFullScreen(bool pressed) {
    Picture picture = buttonState(pressed);
    const IconPen pen{picture, pressed};
    for (int i = 3; i <= 7; ++i) {
        pen.plotMirrored(i, 3);
        pen.plotMirrored(3, i);
    }
    for (int i = 4; i <= 7; ++i) {
        pen.plotMirrored(i, i);
    }
    return picture;
}

// 5208 / 5209: arrows in from the four corners (leave full screen).
inline Picture drawLeaveFullScreen(bool pressed) {
    Picture picture = buttonState(pressed);
    const IconPen pen{picture, pressed};
    for (int i = 4; i <= 8; ++i) {
        pen.plotMirrored(i, 8);
        pen.plotMirrored(8, i);
    }
    for (int i = 3; i <= 6; ++i) {
        pen.plotMirrored(i, i);
    }
    return picture;
}

inline Picture drawSlideUp() {
    return drawSlide(false);
}
inline Picture drawSlideDown() {
    return drawSlide(true);
}
inline Picture drawFullScreenUp() {
    return drawFullScreen(false);
}
inline Picture drawFullScreenDown() {
    return drawFullScreen(true);
}
inline Picture drawLeaveFullScreenUp() {
    return drawLeaveFullScreen(false);
}
inline Picture drawLeaveFullScreenDown() {
    return drawLeaveFullScreen(true);
}

// Coverage (0..1) of a pixel by a ring between two radii around (cx, cy).
inline double ringCoverage(double x, double y, double cx, double cy, double inner, double outer) {
    const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
    return std::clamp(std::min(outer - d, d - inner) + 0.5, 0.0, 1.0);
}

struct Point2 {
    double x, y;
};

// 1 when (x, y) lies in the triangle a, b, c (either winding), else 0.
inline double insideTriangle(double x, double y, Point2 a, Point2 b, Point2 c) {
    const auto side = [x, y](Point2 p, Point2 q) {
        return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
    };
    const double ab = side(a, b), bc = side(b, c), ca = side(c, a);
    const bool negative = ab < 0 || bc < 0 || ca < 0;
    const bool positive = ab > 0 || bc > 0 || ca > 0;
    return negative && positive ? 0.0 : 1.0;
}

// 504: the splash, 240 x 151. Night-blue to violet with a few stars, two
// interlocking speech rings for a logo, and a dark band below for the white
// name and hint the client writes at y 100 and 130.
inline Picture drawSplash() {
    constexpr int width = 240, height = 151;
    const Rgb sky{16, 26, 62}, dusk{52, 24, 84}, band{10, 12, 30};
    Picture picture(width, height, sky);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb colour = mixRgb(sky, dusk, (0.6 * x / width) + (0.4 * y / height));
            if (y >= 94) {
                colour = mixRgb(colour, band, 0.55);
            }
            picture.set(x, y, colour);
        }
    }
    std::uint32_t seed = 20071;
    for (int star = 0; star < 46; ++star) {
        seed = seed * 1103515245u + 12345u;
        const int x = static_cast<int>((seed >> 8) % width);
        seed = seed * 1103515245u + 12345u;
        const int y = static_cast<int>((seed >> 8) % 90);
        picture.blend(x, y, Rgb{230, 230, 255}, 0.35 + 0.1 * (star % 5));
    }
    const Rgb warmTop{255, 184, 72}, warmBottom{246, 88, 128}, cool{96, 206, 250};
    for (int y = 0; y < 94; ++y) {
        for (int x = 0; x < width; ++x) {
            const double big = ringCoverage(x, y, 108, 46, 20, 31);
            // The big ring's tail: a wedge from its lower left edge.
            const double tail = insideTriangle(x + 0.5, y + 0.5, {84, 62}, {98, 73}, {74, 88});
            const double small = ringCoverage(x, y, 150, 38, 11, 18);
            picture.blend(x, y, cool, small);
            picture.blend(x, y, mixRgb(warmTop, warmBottom, y / 80.0), std::max(big, tail));
        }
    }
    for (int x = 5; x < width - 5; ++x) {
        picture.blend(x, 94, Rgb{150, 132, 210}, 0.8);
    }
    return picture;
}

// The options dialog's button faces (5210 delete, 5211 add, 5212 edit and
// disabled): 40 x 16 textures whose first and last 8 columns are the rounded
// caps, the middle stretched; black around the corners shows through.
inline Picture drawOptionButton(Rgb top, Rgb bottom, Rgb outline) {
    constexpr int width = 40, height = 16, radius = 4;
    Picture picture(width, height, kKeyBlack);
    auto inside = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            return false;
        }
        const int cx = std::clamp(x, radius, width - 1 - radius);
        const int cy = std::clamp(y, radius, height - 1 - radius);
        const int dx = x - cx, dy = y - cy;
        return dx * dx + dy * dy <= radius * radius;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            picture.set(x, y, edge ? outline : mixRgb(top, bottom, y / (height - 1.0)));
        }
    }
    return picture;
}
inline Picture drawOptionDelete() {
    return drawOptionButton(Rgb{255, 226, 222}, Rgb{236, 160, 150}, Rgb{150, 60, 52});
}
inline Picture drawOptionAdd() {
    return drawOptionButton(Rgb{226, 250, 222}, Rgb{158, 214, 150}, Rgb{56, 120, 52});
}
inline Picture drawOptionEdit() {
    return drawOptionButton(Rgb{246, 247, 250}, Rgb{196, 202, 214}, Rgb{100, 108, 124});
}

}  // namespace kolu::tools
