#pragma once
// Text as a search compares it: case folded and accents dropped, so "zoe" finds
// "Zoë", "ZOË" and "Zoe" followed by a combining diaeresis; Latin letters with
// marks or strokes fold to their base letter (æ, œ, ß and a few more to two),
// Greek and Cyrillic fold case and accents too. Each folded code unit remembers
// the original one it came from, so a match is highlighted where it stands in
// the text as shown. And the finder that searches a view's lines with it, from
// the newest line back, a slice at a time.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kolu {

class TextLines;

struct FoldedText {
    std::u16string text;
    // origin[i]: the original code unit folded unit i came from; one more entry
    // than the text has, the original length.
    std::vector<std::uint32_t> origin;

    // The original range [begin, end) that folded units [start, start + length)
    // came from, marks dropped inside or right after it included.
    std::pair<std::size_t, std::size_t> originalRange(std::size_t start, std::size_t length) const;
};

// Reuses `out`'s buffers: a search folds every line it reads.
void foldForSearch(std::u16string_view text, FoldedText& out);
std::u16string foldForSearch(std::u16string_view text);

// One match in a view's lines, in the plain text the view shows (formatting
// codes taken out). `line` is the line's position in its store
// (TextLines::firstPosition() + index), which paging leaves as it is.
struct TextMatch {
    std::int64_t line = 0;
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const TextMatch&) const = default;
};

// Searches the lines a store held when it started, newest first, so the lines
// the user sees are found first and a huge tab is searched in slices that each
// return within their time budget. Lines a paged store puts in front are
// searched as the search goes on; matches in lines that leave memory are dropped.
class TextFinder {
  public:
    // Past this many matches the search stops: more could not be stepped through anyway.
    static constexpr std::size_t kMaxMatches = 100000;
    // Lines read between looks at the clock.
    static constexpr std::size_t kLinesPerCheck = 64;

    // `lines` must outlive the finder (or the next restart). An empty query finds nothing.
    void start(const TextLines& lines, std::u16string_view query);
    void clear();
    // Searches on for about `budget` (at least kLinesPerCheck lines); true once
    // every line is searched.
    bool searchSlice(std::chrono::steady_clock::duration budget);
    bool finished() const;
    // Searches the lines added since the search started (or since the last
    // call): their matches go in front, as the newest. Answers how many.
    std::size_t searchAppended();
    // After the store paged: matches in lines no longer in memory are dropped
    // (`droppedNewest` of them from the front of matches()) and older lines put
    // in front are left to the next slices. After a reset the search starts
    // again at the newest line (`restarted`).
    struct Followed {
        std::size_t droppedNewest = 0;
        bool restarted = false;
    };
    Followed followPaging();
    bool capped() const { return m_matches.size() >= kMaxMatches; }

    // Newest first: the last match of the newest line is match 0.
    const std::vector<TextMatch>& matches() const { return m_matches; }
    // The matches found in the line at position `line`, in order along the
    // line, appended to `out`.
    void matchesInLine(std::int64_t line, std::vector<TextMatch>& out) const;
    // The index of a match in the line at position `line` at `start`, or matches().size().
    std::size_t indexOf(std::int64_t line, std::size_t start) const;
    const std::u16string& foldedQuery() const { return m_query; }

  private:
    // Appends the matches of the line at `position` to `out`, the last one along the line first.
    void searchLine(std::int64_t position, std::vector<TextMatch>& out);

    const TextLines* m_lines = nullptr;
    std::u16string m_query;
    std::int64_t m_next = 0;     // positions [firstPosition(), m_next) are still to search
    std::int64_t m_end = 0;      // positions from here on came after the search started
    std::uint64_t m_resets = 0;  // the store's resets() when the search started
    std::vector<TextMatch> m_matches;
    FoldedText m_folded;
    std::vector<TextMatch> m_lineMatches;
    std::vector<TextMatch> m_appended;
};

}  // namespace kolu
