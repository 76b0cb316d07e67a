#pragma once
// How big the client draws on a desktop, and where its window may stand: the
// scale factor from the screen (its logical DPI, or the handheld's size rule
// when the screen is no bigger than a handheld's), the "Text size" choice, and
// a remembered window rectangle fitted onto the screens there are now.
#include <cstdint>
#include <vector>

namespace kolu {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// The setting `textsize`: 0 (or anything unknown) Automatic, else the factor in
// percent the user chose.
inline constexpr std::int32_t kTextSizes[] = {0, 100, 150, 200, 300};

// The whole-number factor the window's drawing rules multiply by. A screen no
// larger than a handheld's (480 x 640 either way round) keeps the handheld's rule
// on the window's own size; any other uses the screen's logical DPI, 96 for 1,
// unless a fixed `textSize` already scales the whole toolkit.
int scaleFactorFor(double logicalDpi, ScreenRect screen, int windowWidth, int windowHeight,
                   std::int32_t textSize = 0);

// The drawing factor of a fixed "Text size" choice (1.5 for 150), applied to the
// whole toolkit at start-up; 0 for Automatic, where the screen decides.
double fixedTextScale(std::int32_t textSize);

// A remembered window rectangle on the screens there are now (their available
// areas, the primary first): kept on the screen that holds most of it (the
// primary when none does), no larger than that screen and wholly inside it.
ScreenRect fitOnScreens(ScreenRect saved, const std::vector<ScreenRect>& screens);

}  // namespace kolu
