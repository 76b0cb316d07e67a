#pragma once
// A line on its way to the file: converted to UTF-8 and given its id where it was
// added, written later (on the writer's thread) with the others of its batch.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/colour_table.h"

namespace kolu::history {

struct PendingLine {
    std::int64_t id = 0;
    std::int64_t timeMs = 0;
    Colour colour = 0;
    std::string network, tab, sender, text;
};

using PendingBatch = std::vector<PendingLine>;

}  // namespace kolu::history
