#pragma once
// The one way to print a line into a tab (the line output implements it); parts
// that print only need this seam, which tests replace with a recorder.
#include <string_view>

#include "settings/colour_table.h"

namespace kolu {

class LinePrinter {
  public:
    virtual ~LinePrinter() = default;
    // target "" is the status tab. Returns the text view's new total height, 0 when
    // the line was not added.
    virtual int addLine(std::u16string_view target, std::u16string_view text, Colour colour) = 0;
};

}  // namespace kolu
