#include "ui/background_blend.h"

#include <algorithm>

namespace kolu {

void lightenTowardWhite(std::uint8_t* bytes, std::size_t count, int level) {
    level = std::clamp(level, 0, 10);
    if (level == 0) {
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(bytes[i] + ((255 - bytes[i]) * level) / 10);
    }
}

}  // namespace kolu
