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
class HistoryStore;
class Settings;
class TabRegistry;

// When the line being handled was said, as a server's time tag tells: its local
// time, and whether it was said before this connection began (a replay, which
// is not news: the tab labels keep their colours).
struct LineTime {
    SystemTime local;
    std::int64_t utcMs = 0;  // the same moment in UTC milliseconds since 1970
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

    // Appends `line` (UTF-8) and CR LF to logpath + name + "." + date + ".txt"
    // (with the network and "." before the name when setLogNetwork is on).
    // Returns 1; failures are reported.
    int loguj(std::u16string_view tabName, std::string_view line);

    // The log file's path for a tab name on the line's day (the clock's current
    // day unless a line time is set).
    std::string logFilePath(std::u16string_view tabName);

    // The time of the line being handled, set for its handling only (nullptr:
    // the clock's time, a new line); the caller keeps `time` alive meanwhile.
    void setLineTime(const LineTime* time) { m_lineTime = time; }
    const LineTime* lineTime() const { return m_lineTime; }
    // Every line shown from now on is also kept in `store` (nullptr: none), under
    // the network named by setNetwork; tabs then keep `histlines` lines in memory
    // and read older ones back from the store, and a new channel or query tab
    // begins with its last `histreplay` lines (replayHistory).
    void setHistory(HistoryStore* store);
    HistoryStore* history() const { return m_history; }
    // The network the lines are said on (the server list's name, or the host).
    void setNetwork(std::u16string network);
    const std::u16string& network() const { return m_network; }
    // Log file names begin with the network (while one is known): a window
    // beside the first, whose #linux on another network must not share a file.
    void setLogNetwork(bool on) { m_logNetwork = on; }
    // Fills tab `index` with its last stored lines, dimmed, above a separator;
    // they are not stored, logged or counted as news again.
    void replayHistory(int index);
    // The separator under the lines a tab begins with.
    static constexpr std::u16string_view kReplaySeparator = u"--- earlier lines above ---";

    // Lines go to `collector` first while it is set (nullptr: none).
    void setCollector(LineCollector* collector) { m_collector = collector; }
    LineCollector* collector() const { return m_collector; }

  private:
    SystemTime lineLocalTime() const;
    // Pages tab `index`'s lines from the store under the current network.
    void attachSource(int index);

    TabRegistry& m_tabs;
    Settings& m_settings;
    const Clock& m_clock;
    ErrorLog& m_log;
    const LineTime* m_lineTime = nullptr;
    LineCollector* m_collector = nullptr;
    HistoryStore* m_history = nullptr;
    std::u16string m_network;
    bool m_logNetwork = false;
};

// Who said a line, as its text begins: "<nick> ..." or "* nick ..." ("" for
// other lines), for the stored history.
std::u16string_view lineSender(std::u16string_view text);

// A tab name a server chose, made safe as part of a file name in the log folder:
// '/' and NUL become '_', and so does every character of a name "." or ".." and
// a leading '.' (which would hide the file).
std::u16string logSafeName(std::u16string_view tabName);

}  // namespace kolu
