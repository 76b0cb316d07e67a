#pragma once
// The batches a server has opened ("BATCH +ref type params") and not yet closed
// ("BATCH -ref"). Lines tagged with a batch are handled as they come, in order;
// a netsplit or netjoin batch also takes the QUIT or JOIN lines they print and
// shows, when it closes, one summary line per tab instead of one per person.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {

class ColourTable;
class LinePrinter;

class Batches final : public LineCollector {
  public:
    // A server that opens batches without closing them holds at most this many;
    // later ones are not opened and their lines are handled like any other.
    static constexpr std::size_t kMaxOpen = 32;
    // Tabs one summary batch counts for; lines for further tabs print as usual.
    static constexpr std::size_t kMaxTabs = 256;

    // Opens batch `ref` of `type` inside batch `parent` ("" for none); `servers`
    // are the netsplit's or netjoin's servers. False, and nothing opened, for an
    // empty or already open reference or when kMaxOpen are open.
    bool open(std::u16string_view ref, std::u16string_view type, std::u16string_view servers,
              std::u16string_view parent);
    // Closes batch `ref` and the batches opened inside it, printing their
    // summaries; an unknown reference changes nothing.
    void close(std::u16string_view ref, LinePrinter& out, const ColourTable& colours);
    // Closes every batch (the connection ended), printing their summaries.
    void closeAll(LinePrinter& out, const ColourTable& colours);

    // The line about to be handled belongs to batch `ref` (nullptr: to none):
    // its printed lines are collected when it is a QUIT in a netsplit batch or a
    // JOIN in a netjoin batch, directly or through the batches around it.
    // Returns whether they are.
    bool startLine(const std::u16string* ref, std::u16string_view command);
    void endLine() { m_collecting.clear(); }

    bool collect(std::u16string_view target, std::u16string_view text, Colour colour) override;

    std::size_t openCount() const { return m_open.size(); }

  private:
    enum class Kind { Other, Netsplit, Netjoin };
    struct TabCount {
        std::u16string tab;
        int lines = 0;
    };
    struct Batch {
        std::u16string ref;
        std::u16string parent;
        std::u16string servers;
        Kind kind = Kind::Other;
        std::vector<TabCount> tabs;
    };

    Batch* find(std::u16string_view ref);
    void print(const Batch& batch, LinePrinter& out, const ColourTable& colours);

    std::vector<Batch> m_open;
    // The reference of the batch collecting the current line's output; looked up
    // at each collected line, so a batch closed meanwhile is never written to.
    std::u16string m_collecting;
};

}  // namespace kolu
