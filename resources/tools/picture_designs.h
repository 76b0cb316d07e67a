#pragma once
// The background pictures copied into the data folder on the first start. They
// are drawn for the handheld's portrait screen (240 x 320; the client stretches
// a picture over its whole window) in light, low-contrast colours so text stays
// readable on them even before the client's blend lightens them further.
#include <cmath>
#include <numbers>
#include <string_view>
#include <vector>

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

struct PictureDesign {
    const char* file;
    Picture (*draw)();
};

inline std::vector<PictureDesign> shippedPictures() {
    return {{"waves.bmp", drawWaves}, {"dots.bmp", drawDots}, {"dusk.bmp", drawDusk}};
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
