#include "ui/welcome_banner.h"

namespace kolu {

void printWelcomeBanner(LinePrinter& printer) {
    printer.addLine(u"", u"===================", 0x4000FF);
    printer.addLine(u"", u"Welcome to Kolu, version 1.3", 0x8000C0);
    printer.addLine(u"", u"Internet Relay Chat client for Pocket PC", 0xA000A0);
    printer.addLine(u"", u"-------------------", 0xC00080);
}

}  // namespace kolu
