#pragma once
// The lines of one text view (the model behind ColorEdit): the lines it was
// given with their colours and ids in the history, oldest first, and the
// height of each line wrapped to the view's width. Without a line source every
// line is kept until the view goes away; with one (paging) the store keeps
// about `cap` lines and reads the others back from the source as the view
// scrolls to them. Each line's height is remembered for the current width and
// font, so adding a line costs the same however long the history is; a width or
// font change re-measures once. The text is kept as UTF-8 (half the memory of
// UTF-16 for most chat) and widened again when a line is read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/formatting.h"
#include "ui/line_source.h"
#include "ui/text_metrics.h"

namespace kolu {

class TextLines;

// What one paging step did to a store's lines, so the view can keep what it
// shows in place: lines that left memory or came back at either end.
struct LineShift {
    std::size_t removedFront = 0;
    std::int64_t removedFrontHeight = 0;
    std::size_t addedFront = 0;
    std::int64_t addedFrontHeight = 0;
    std::size_t removedBack = 0;
    std::size_t addedBack = 0;
    // Every line was replaced (reveal, loadNewest): the view places itself anew.
    bool reset = false;
};

// The view that shows a store hears about each added line (to scroll and repaint).
class TextLinesObserver {
  public:
    virtual ~TextLinesObserver() = default;
    // Also when the line went only to the source (the newest lines are paged
    // out): the view then knows something newer exists.
    virtual void lineAppended(const TextLines& lines) = 0;
    // After the store paged: told once the lines are in their new places.
    virtual void linesShifted(const TextLines& lines, const LineShift& shift) {
        static_cast<void>(lines);
        static_cast<void>(shift);
    }
};

class TextLines {
  public:
    // Width used until the view tells its own (the size a view gets when its
    // parent's size can't be read).
    static constexpr int kDefaultWidth = 240;
    // Lines one paging read asks for, and how far past its cap a paged store
    // grows before it trims, so lines leave memory in steps rather than one by one.
    static constexpr std::size_t kPageLines = 500;

    struct Line {
        std::u16string text;  // without formatting codes
        Colour colour = 0;
        std::vector<StyleRun> runs;  // the styled stretches of text (none for most lines)
    };

    explicit TextLines(const TextMetrics* metrics = nullptr, int width = kDefaultWidth);
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    // Stores a copy of the line and returns the new total height in pixels (the
    // add-line message's answer); 0 when the line could not be stored. `id` is
    // the line's id in the source; 0 for a line kept nowhere else (a separator,
    // or no history), which is lost once it leaves memory. While the newest
    // lines are paged out the line is not kept: loadNewer reads it back.
    int append(std::u16string_view text, Colour colour, std::int64_t id = 0);

    // Paging: with a source the store keeps about `cap` lines (trimming when it
    // passes cap + kPageLines); without one (the default) nothing is ever dropped.
    void setPaging(LineSource* source, std::size_t cap);
    LineSource* source() const { return m_source; }
    std::size_t cap() const { return m_cap; }
    // Up to `count` (at most cap) lines older than the oldest stored one put in
    // front; past the cap the newest leave memory. Answers how many came.
    std::size_t loadOlder(std::size_t count);
    // Up to `count` lines newer than the newest stored one added at the back;
    // past the cap the oldest leave. Fewer than asked: the newest are in memory.
    std::size_t loadNewer(std::size_t count);
    // Every line replaced by the newest `count` (at most cap) of the source.
    void loadNewest(std::size_t count);
    // The index of the line with id `id`, read in with the lines around it when
    // it is not in memory; nullopt when the source doesn't have it either.
    std::optional<std::size_t> reveal(std::int64_t id);
    // Older lines may be read from the source: set when a source is given or
    // lines left the front, cleared when a read brings fewer than asked.
    bool olderInSource() const { return m_olderInSource; }
    // False while the newest lines are paged out (only the source has them).
    bool newestInMemory() const { return m_newestInMemory; }
    // Stable numbering: line `index` is at position firstPosition() + index,
    // which stays the line's while it is in memory, whatever pages come or go.
    std::int64_t firstPosition() const { return m_first; }
    std::int64_t endPosition() const { return m_first + static_cast<std::int64_t>(m_lines.size()); }
    // Counts the times every line was replaced; positions from before mean nothing.
    std::uint64_t resets() const { return m_resets; }
    // The id line `index` was stored with; 0 when none or out of range.
    std::int64_t id(std::size_t index) const;

    // The wrapping width (the client rectangle's right edge). Heights are
    // re-measured at the next question, once, however often the width changes.
    void setWidth(int width);
    int width() const { return m_width; }
    // A new metrics object, or the same one after its font changed.
    void setMetrics(const TextMetrics* metrics);
    void metricsChanged();
    const TextMetrics* metrics() const { return m_metrics; }

    std::size_t lineCount() const { return m_lines.size(); }
    // A copy of line `index`: the code units it was given, except that a line
    // with control characters comes as its plain text and styled runs; an empty
    // line when index >= lineCount().
    Line line(std::size_t index) const;
    // Wrapped height of one line at the current width.
    int lineHeight(std::size_t index) const;
    // ColorEdit_CountHeight: the sum of all wrapped heights, at most INT_MAX. Kept
    // as lines come and measured again only after a width or font change.
    int totalHeight() const;
    // Changes each time every height is measured again (after a width or
    // metrics change) and each time lines leave memory or are put in front
    // (paging), so a cache of heights (a view's line tops) knows when to
    // rebuild; appends alone leave it as it is.
    std::uint64_t heightsGeneration() const;

    void setObserver(TextLinesObserver* observer) { m_observer = observer; }

    // Bytes the store holds allocated for text and line records.
    std::size_t memoryBytes() const;

  private:
    // 28 bytes per line; the text lives in a block, with its formatting codes.
    struct Entry {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length : 31;    // in bytes
        std::uint32_t formatted : 1;  // holds control characters: read through the parser
        Colour colour;
        std::int32_t height;
        // The id in halves, so the entry needs no 8-byte alignment (and padding).
        std::uint32_t idLow;
        std::uint32_t idHigh;
    };
    static_assert(sizeof(Entry) == 28);
    struct Block {
        std::unique_ptr<char[]> data;
        std::uint32_t capacity = 0;
        std::uint32_t used = 0;
        std::uint32_t live = 0;  // lines whose text is here: at 0 the block is freed
    };
    // Text is packed into blocks of this many bytes; a longer line gets a block
    // of its own. Old text is never moved, so adding never copies history.
    static constexpr std::uint32_t kBlockBytes = 65536;
    static constexpr std::uint32_t kOwnBlockBytes = kBlockBytes / 8;
    static constexpr std::uint32_t kNoBlock = UINT32_MAX;

    // Copies the encoded text into a block and points `entry` at it; the block's
    // `used` and `live` counts are left for claimText once the line is recorded.
    void placeText(std::string_view bytes, Entry& entry);
    std::uint32_t newBlock(std::uint32_t capacity);
    void claimText(const Entry& entry);
    void releaseText(const Entry& entry);
    // Records one line at the front or the back; false (the store as it was)
    // when it could not be stored.
    bool store(std::u16string_view text, Colour colour, std::int64_t id, bool front);
    // Drops lines from one end and answers their height.
    std::int64_t dropFront(std::size_t count);
    std::int64_t dropBack(std::size_t count);
    // Past cap + kPageLines the oldest lines leave, down to the cap.
    void trimOldest(LineShift& shift);
    // Every line replaced by `lines`; the observer hears a reset.
    void replaceWith(const std::vector<PagedLine>& lines);
    void tell(const LineShift& shift);
    static std::int64_t idOf(const Entry& entry);
    int measure(std::u16string_view text, bool formatted) const;
    void ensureMeasured() const;
    std::string_view bytesOf(const Entry& entry) const;

    const TextMetrics* m_metrics;
    int m_width;
    mutable std::deque<Entry> m_lines;  // heights are refreshed lazily
    std::vector<Block> m_blocks;
    std::uint32_t m_openBlock = kNoBlock;  // the block short lines are packed into
    std::string m_encoded;                 // reused for each added line's bytes
    mutable std::u16string m_widened;      // reused for each line a re-measure reads
    mutable std::int64_t m_total = 0;
    mutable bool m_measured = true;  // heights and total match width and metrics
    mutable std::uint64_t m_generation = 0;
    TextLinesObserver* m_observer = nullptr;
    std::vector<std::uint32_t> m_freeBlocks;  // slots of freed blocks, for the next ones
    LineSource* m_source = nullptr;
    std::size_t m_cap = 0;
    bool m_olderInSource = false;
    bool m_newestInMemory = true;
    std::int64_t m_first = 0;  // position of line 0
    std::uint64_t m_resets = 0;
};

}  // namespace kolu
