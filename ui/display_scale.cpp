#include "ui/display_scale.h"

#include <algorithm>
#include <cmath>

namespace kolu {
namespace {

constexpr int kHandheldLong = 640;
constexpr int kHandheldShort = 480;
constexpr double kBaseDpi = 96.0;

// 1 up to 240 (portrait) or 320 (landscape) pixels wide, else the whole quotient.
int handheldScale(int width, int height) {
    if (width <= height) {
        return width < 241 ? 1 : width / 240;
    }
    return width < 321 ? 1 : width / 320;
}

long long overlap(const ScreenRect& a, const ScreenRect& b) {
    const long long w = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const long long h = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

int scaleFactorFor(double logicalDpi, ScreenRect screen, int windowWidth, int windowHeight,
                   std::int32_t textSize) {
    const int longSide = std::max(screen.width, screen.height);
    const int shortSide = std::min(screen.width, screen.height);
    if (longSide > 0 && longSide <= kHandheldLong && shortSide <= kHandheldShort) {
        return handheldScale(windowWidth, windowHeight);
    }
    if (fixedTextScale(textSize) > 0) {
        return 1;
    }
    // 144 dpi and more draws twice as big: a half step rounds up.
    return std::max(1, static_cast<int>(std::lround(logicalDpi / kBaseDpi)));
}

double fixedTextScale(std::int32_t textSize) {
    const bool known =
        std::find(std::begin(kTextSizes), std::end(kTextSizes), textSize) != std::end(kTextSizes);
    return known ? textSize / 100.0 : 0.0;
}

ScreenRect fitOnScreens(ScreenRect saved, const std::vector<ScreenRect>& screens) {
    if (screens.empty()) {
        return saved;
    }
    const ScreenRect* best = &screens.front();
    long long bestArea = 0;
    for (const ScreenRect& screen : screens) {
        if (const long long area = overlap(saved, screen); area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    ScreenRect fitted = saved;
    fitted.width = std::clamp(saved.width, 1, std::max(1, best->width));
    fitted.height = std::clamp(saved.height, 1, std::max(1, best->height));
    fitted.x = std::clamp(saved.x, best->x, best->x + best->width - fitted.width);
    fitted.y = std::clamp(saved.y, best->y, best->y + best->height - fitted.height);
    return fitted;
}

}  // namespace kolu
