#pragma once
// The one way to print (RIDodajLinie): puts the optional time stamp in front of
// a line, sends it to the tab it belongs to (the status tab when that tab doesn't
// exist), appends it to the tab's per-day log when logging is on for that kind of
// tab, and colours the label of a tab that isn't being shown.
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "settings/colour_table.h"
#include "ui/line_printer.h"

namespace kolu {

class Clock;
class ErrorLog;
class Settings;
class TabRegistry;

// When the line being handled was said, as a server's time tag tells: its local
// time, and whether it was said before this connection began (a replay, which
// is not news: the tab labels keep their colours).
struct LineTime {
    SystemTime local;
    bool replayed = false;
};

// Takes the lines printed while it is attached, in place of the tabs (a batch
// that shows one summary line instead of one line per person). Returns false
// for a line it doesn't take: that one is printed as usual.
class LineCollector {
  public:
    virtual ~LineCollector() = default;
    virtual bool collect(std::u16string_view target, std::u16string_view text, Colour colour) = 0;
};

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

    // The log file's path for a tab name on the line's day (the clock's current
    // day unless a line time is set).
    std::string logFilePath(std::u16string_view tabName);

    // The time of the line being handled, set for its handling only (nullptr:
    // the clock's time, a new line); the caller keeps `time` alive meanwhile.
    void setLineTime(const LineTime* time) { m_lineTime = time; }
    const LineTime* lineTime() const { return m_lineTime; }
    // Lines go to `collector` first while it is set (nullptr: none).
    void setCollector(LineCollector* collector) { m_collector = collector; }
    LineCollector* collector() const { return m_collector; }

  private:
    SystemTime lineLocalTime() const;

    TabRegistry& m_tabs;
    Settings& m_settings;
    const Clock& m_clock;
    ErrorLog& m_log;
    const LineTime* m_lineTime = nullptr;
    LineCollector* m_collector = nullptr;
};

// A tab name a server chose, made safe as part of a file name in the log folder:
// '/' and NUL become '_', and so does every character of a name "." or ".." and
// a leading '.' (which would hide the file).
std::u16string logSafeName(std::u16string_view tabName);

}  // namespace kolu
