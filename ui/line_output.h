#pragma once
// The one way to print (RIDodajLinie): puts the optional time stamp in front of
// a line, sends it to the tab it belongs to (the status tab when that tab doesn't
// exist), appends it to the tab's per-day log when logging is on for that kind of
// tab, and colours the label of a tab that isn't being shown.
#include <string>
#include <string_view>

#include "settings/colour_table.h"
#include "ui/line_printer.h"

namespace kolu {

class Clock;
class ErrorLog;
class Settings;
class TabRegistry;

class LineOutput final : public LinePrinter {
  public:
    // The status tab's name is read with at most this many characters.
    static constexpr std::size_t kStatusNameLength = 12;
    // `logpath` is read as a string of at most this many bytes.
    static constexpr std::uint32_t kLogPathSize = 250;

    LineOutput(TabRegistry& tabs, Settings& settings, const Clock& clock, ErrorLog& log);

    // target "" = the status tab. Returns the text view's new total height, 0 when
    // the line was not added.
    int RIDodajLinie(std::u16string_view target, std::u16string_view text, Colour colour);
    int addLine(std::u16string_view target, std::u16string_view text, Colour colour) override {
        return RIDodajLinie(target, text, colour);
    }

    // Appends `line` (UTF-8) and CR LF to logpath + name + "." + date + ".txt".
    // Returns 1; failures are reported.
    int loguj(std::u16string_view tabName, std::string_view line);

    // The log file's path for a tab name on the clock's current day.
    std::string logFilePath(std::u16string_view tabName);

  private:
    TabRegistry& m_tabs;
    Settings& m_settings;
    const Clock& m_clock;
    ErrorLog& m_log;
};

// A tab name a server chose, made safe as part of a file name in the log folder:
// '/' and NUL become '_', and so does every character of a name "." or ".." and
// a leading '.' (which would hide the file).
std::u16string logSafeName(std::u16string_view tabName);

}  // namespace kolu
