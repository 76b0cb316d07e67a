#pragma once
// The background pictures copied into the data folder on the first start. They
// are drawn for the handheld's portrait screen (240 x 320; the client stretches
// a picture over its whole window) in light, low-contrast colours so text stays
// readable on them even before the client's blend lightens them further. Also
// the two 20 x 20 tab pictures the tab strip is composed from.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

#include "resources/tools/button_designs.h"
#include "resources/tools/picture_bmp.h"

namespace kolu::tools {

inline constexpr int kPictureWidth = 240;
inline constexpr int kPictureHeight = 320;

// Pale sky fading into a pale sea, crossed by soft, slowly undulating lines.
inline Picture drawWaves() {
    const Rgb top{232, 242, 250}, bottom{220, 240, 236};
    const Rgb lines[2] = {{150, 190, 222}, {150, 205, 200}};
    Picture picture(kPictureWidth, kPictureHeight, top);
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            picture.set(x, y, mixRgb(top, bottom, static_cast<double>(y) / (kPictureHeight - 1)));
        }
    }
    const double tau = 2 * std::numbers::pi;
    for (int k = 0; k < 9; ++k) {
        const double baseline = 18 + k * 37;
        const double amplitude = 6 + 3 * std::sin(k * 1.7);
        const double wavelength = 150 + 22 * (k % 3);
        for (int x = 0; x < kPictureWidth; ++x) {
            const double curve = baseline + amplitude * std::sin(tau * x / wavelength + k * 1.3) +
                                 2 * std::sin(tau * x / 57 + k);
            for (int y = 0; y < kPictureHeight; ++y) {
                const double below = y - curve;
                const double line = std::clamp(1.8 - std::fabs(below), 0.0, 1.0) * 0.55;
                const double shade = below > 0 && below < 14 ? 0.12 * (1 - below / 14) : 0.0;
                picture.blend(x, y, lines[k % 2], std::max(line, shade));
            }
        }
    }
    return picture;
}

// Warm paper with a staggered grid of soft dots that grow toward the bottom.
inline Picture drawDots() {
    const Rgb paper{250, 245, 236};
    const Rgb dots[2] = {{238, 206, 182}, {200, 220, 238}};
    Picture picture(kPictureWidth, kPictureHeight, paper);
    const int spacing = 24;
    for (int row = 0; row * spacing <= kPictureHeight + spacing; ++row) {
        const double cy = row * spacing;
        const double radius = 2.5 + 4.5 * cy / kPictureHeight;
        const int offset = row % 2 == 0 ? 0 : spacing / 2;
        for (int column = -1; column * spacing <= kPictureWidth + spacing; ++column) {
            const double cx = column * spacing + offset;
            const Rgb colour = dots[(row + column + 8) % 3 == 0 ? 1 : 0];
            for (int y = static_cast<int>(cy - radius - 2); y <= cy + radius + 2; ++y) {
                for (int x = static_cast<int>(cx - radius - 2); x <= cx + radius + 2; ++x) {
                    if (x < 0 || y < 0 || x >= kPictureWidth || y >= kPictureHeight) {
                        continue;
                    }
                    const double distance = std::hypot(x - cx, y - cy);
                    picture.blend(x, y, colour, std::clamp(radius + 0.5 - distance, 0.0, 1.0));
                }
            }
        }
    }
    return picture;
}

// Lavender to peach across the diagonal, a soft glow, and faint diagonal stripes.
inline Picture drawDusk() {
    const Rgb lavender{230, 226, 244}, peach{250, 232, 220}, glow{255, 248, 232};
    Picture picture(kPictureWidth, kPictureHeight, lavender);
    const double diagonal = kPictureWidth + kPictureHeight - 2;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            Rgb colour = mixRgb(lavender, peach, (x + y) / diagonal);
            const double distance = std::hypot(x - 170.0, y - 90.0);
            colour = mixRgb(colour, glow, std::clamp(1 - distance / 80, 0.0, 1.0) * 0.8);
            const bool stripe = (x + 2 * y) % 16 < 2;
            picture.set(x, y, stripe ? mixRgb(colour, Rgb{255, 255, 255}, 0.25) : colour);
        }
    }
    return picture;
}

// The tab pictures: a left cap (columns 0-7), a middle (8-11) that the strip
// stretches to the tab's width, and a right cap (12-19). Every middle column is
// the same, so stretching shows no seam. The selected tab is a pale face open at
// the bottom, joining the view below; the others sit 2 pixels lower, a shade
// darker, on the strip's base line. Pixels outside the rounded corners are the
// strip's own colour, which the strip reads back from the corner pixel.
inline constexpr int kTabPictureSize = 20;

struct TabColours {
    Rgb strip, border, faceTop, faceBottom, accent;
    int top;        // first row of the tab's outline
    bool baseLine;  // the strip's base line along the bottom row
    double accentWeight;
};

// Signed distance from a pixel's centre to a box with rounded top corners that
// reaches past the picture's bottom (the bottom corners are never seen).
inline double tabDistance(int x, int y, int top, double inset) {
    const double radius = 4.5 - inset;
    const double px = x + 0.5, py = y + 0.5;
    const double left = inset, right = kTabPictureSize - inset, upper = top + inset;
    const double cx = std::clamp(px, left + radius, right - radius);
    const double cy = std::max(py, upper + radius);
    if (py < upper + radius && (px < left + radius || px > right - radius)) {
        return std::hypot(px - cx, py - cy) - radius;
    }
    return std::max({left - px, px - right, upper - py});
}

inline Picture drawTab(const TabColours& c) {
    Picture picture(kTabPictureSize, kTabPictureSize, c.strip);
    for (int y = 0; y < kTabPictureSize; ++y) {
        const double depth = static_cast<double>(y - c.top) / (kTabPictureSize - 1 - c.top);
        const Rgb face = mixRgb(c.faceTop, c.faceBottom, depth);
        for (int x = 0; x < kTabPictureSize; ++x) {
            const double outer = std::clamp(0.5 - tabDistance(x, y, c.top, 0), 0.0, 1.0);
            const double inner = std::clamp(0.5 - tabDistance(x, y, c.top, 1), 0.0, 1.0);
            picture.blend(x, y, c.border, outer);
            picture.blend(x, y, face, inner);
            // A soft band just inside the top edge marks the selected tab.
            if (y == c.top + 1 || y == c.top + 2) {
                picture.blend(x, y, c.accent, inner * c.accentWeight * (y == c.top + 1 ? 1 : 0.5));
            }
        }
    }
    if (c.baseLine) {
        for (int x = 0; x < kTabPictureSize; ++x) {
            picture.set(x, kTabPictureSize - 1, c.border);
        }
    }
    return picture;
}

inline Picture drawSelectedTab() {
    return drawTab({.strip = {214, 222, 232},
                    .border = {128, 146, 172},
                    .faceTop = {255, 255, 255},
                    .faceBottom = {244, 248, 252},
                    .accent = {120, 166, 222},
                    .top = 0,
                    .baseLine = false,
                    .accentWeight = 0.8});
}

inline Picture drawOtherTab() {
    return drawTab({.strip = {214, 222, 232},
                    .border = {150, 164, 186},
                    .faceTop = {240, 243, 248},
                    .faceBottom = {224, 230, 239},
                    .accent = {0, 0, 0},
                    .top = 2,
                    .baseLine = true,
                    .accentWeight = 0});
}

struct PictureDesign {
    const char* file;
    Picture (*draw)();
};

inline std::vector<PictureDesign> shippedPictures() {
    return {{"waves.bmp", drawWaves}, {"dots.bmp", drawDots}, {"dusk.bmp", drawDusk}};
}

// Pictures of the user interface itself, embedded but never copied to the data
// folder.
inline std::vector<PictureDesign> interfacePictures() {
    return {{"tab_selected.bmp", drawSelectedTab},
            {"tab.bmp", drawOtherTab},
            // The drawn buttons (button_designs.h) and the splash.
            {"button_base.bmp", drawButtonBase},
            {"slide.bmp", drawSlideUp},
            {"slide_pressed.bmp", drawSlideDown},
            {"full_screen.bmp", drawFullScreenUp},
            {"full_screen_pressed.bmp", drawFullScreenDown},
            {"leave_full_screen.bmp", drawLeaveFullScreenUp},
            {"leave_full_screen_pressed.bmp", drawLeaveFullScreenDown},
            {"splash.bmp", drawSplash},
            {"option_delete.bmp", drawOptionDelete},
            {"option_add.bmp", drawOptionAdd},
            {"option_edit.bmp", drawOptionEdit}};
}

// The design named `file`, or nullptr.
inline const PictureDesign* findPicture(const std::vector<PictureDesign>& pictures,
                                        std::string_view file) {
    for (const PictureDesign& picture : pictures) {
        if (file == picture.file) {
            return &picture;
        }
    }
    return nullptr;
}

}  // namespace kolu::tools
