#pragma once
// The four lines greeting the user in the status tab at start-up.
#include "ui/line_printer.h"

namespace kolu {

void printWelcomeBanner(LinePrinter& printer);

}  // namespace kolu
