#pragma once
// The background picture is lightened toward white by the `bmpblend` level
// (tenths, 0 to 10) so text stays readable over it.
#include <cstddef>
#include <cstdint>

namespace kolu {

// Moves every byte toward 255: b + ((255 - b) * level) / 10, truncating. Levels
// outside 0..10 are held to that range.
void lightenTowardWhite(std::uint8_t* bytes, std::size_t count, int level);

}  // namespace kolu
