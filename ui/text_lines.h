#pragma once
// The lines of one text view (the model behind ColorEdit): every line it was
// given with its colour, oldest first, kept until the view goes away, and the
// height of each line wrapped to the view's width. Each line's height is
// remembered for the current width and font, so adding a line costs the same
// however long the history is; a width or font change re-measures once. The text
// is kept as UTF-8 (half the memory of UTF-16 for most chat) and widened again
// when a line is read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/formatting.h"
#include "ui/text_metrics.h"

namespace kolu {

class TextLines;

// The view that shows a store hears about each added line (to scroll and repaint).
class TextLinesObserver {
  public:
    virtual ~TextLinesObserver() = default;
    virtual void lineAppended(const TextLines& lines) = 0;
};

class TextLines {
  public:
    // Width used until the view tells its own (the size a view gets when its
    // parent's size can't be read).
    static constexpr int kDefaultWidth = 240;

    struct Line {
        std::u16string text;  // without formatting codes
        Colour colour = 0;
        std::vector<StyleRun> runs;  // the styled stretches of text (none for most lines)
    };

    explicit TextLines(const TextMetrics* metrics = nullptr, int width = kDefaultWidth);
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;

    // Stores a copy of the line and returns the new total height in pixels (the
    // add-line message's answer); 0 when the line could not be stored.
    int append(std::u16string_view text, Colour colour);

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
    // metrics change), so a cache of heights (a view's line tops) knows when to
    // rebuild; appends alone leave it as it is.
    std::uint64_t heightsGeneration() const;

    void setObserver(TextLinesObserver* observer) { m_observer = observer; }

    // Bytes the store holds allocated for text and line records.
    std::size_t memoryBytes() const;

  private:
    // 20 bytes per line; the text lives in a block, with its formatting codes.
    struct Entry {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length : 31;    // in bytes
        std::uint32_t formatted : 1;  // holds control characters: read through the parser
        Colour colour;
        std::int32_t height;
    };
    struct Block {
        std::unique_ptr<char[]> data;
        std::uint32_t capacity = 0;
        std::uint32_t used = 0;
    };
    // Text is packed into blocks of this many bytes; a longer line gets a block
    // of its own. Old text is never moved, so adding never copies history.
    static constexpr std::uint32_t kBlockBytes = 65536;
    static constexpr std::uint32_t kOwnBlockBytes = kBlockBytes / 8;

    // Copies the encoded text into a block and points `entry` at it; the block's
    // `used` count is left for the caller to commit once the line is recorded.
    void placeText(std::string_view bytes, Entry& entry);
    int measure(std::u16string_view text, bool formatted) const;
    void ensureMeasured() const;
    std::string_view bytesOf(const Entry& entry) const;

    const TextMetrics* m_metrics;
    int m_width;
    mutable std::deque<Entry> m_lines;  // heights are refreshed lazily
    std::vector<Block> m_blocks;
    std::uint32_t m_openBlock = 0;     // the block short lines are packed into
    std::string m_encoded;             // reused for each added line's bytes
    mutable std::u16string m_widened;  // reused for each line a re-measure reads
    mutable std::int64_t m_total = 0;
    mutable bool m_measured = true;  // heights and total match width and metrics
    mutable std::uint64_t m_generation = 0;
    TextLinesObserver* m_observer = nullptr;
};

}  // namespace kolu
