#include <gtest/gtest.h>

#include <vector>

#include "ui/background_blend.h"

namespace kolu {
namespace {

TEST(BackgroundBlend, LightensEachByteByTenthsTruncating) {
    struct Case {
        int level;
        std::vector<std::uint8_t> expected;
    };
    const std::vector<std::uint8_t> input{0, 100, 254, 255};
    const Case cases[] = {
        {0, {0, 100, 254, 255}},    {6, {153, 193, 254, 255}},  // 0 + 255*6/10 = 153; 100 +
                                                                // 155*6/10 = 193
        {10, {255, 255, 255, 255}}, {-3, {0, 100, 254, 255}},  {42, {255, 255, 255, 255}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = input;
        lightenTowardWhite(bytes.data(), bytes.size(), c.level);
        EXPECT_EQ(bytes, c.expected) << "level " << c.level;
    }
}

}  // namespace
}  // namespace kolu
