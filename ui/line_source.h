#pragma once
// Where the lines of a tab that left memory are read back from (the history
// store), so a text view can keep a bounded number of lines and page the rest
// in as the user scrolls. Ids grow with every line stored, over every tab.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/colour_table.h"

namespace kolu {

// A line read back from where a tab's lines are kept, formatting codes included.
struct PagedLine {
    std::int64_t id = 0;
    std::u16string text;
    Colour colour = 0;
};

class LineSource {
  public:
    virtual ~LineSource() = default;
    // Up to `count` of the tab's lines older / newer than line `id`, oldest first.
    virtual std::vector<PagedLine> linesBefore(std::int64_t id, std::size_t count) = 0;
    virtual std::vector<PagedLine> linesAfter(std::int64_t id, std::size_t count) = 0;
};

}  // namespace kolu
