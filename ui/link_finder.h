#pragma once
// Web and IRC addresses in a text view's line: where each one starts and ends in
// the line's plain text, the address a click opens, the one under a point of the
// wrapped line, and the styled runs that draw them. Only the drawing and the
// clicks know of links; wrapping, selection and logs see the same text as ever.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/formatting.h"
#include "ui/text_metrics.h"

namespace kolu {

struct LinkRange {
    std::size_t start = 0;
    std::size_t length = 0;
    bool operator==(const LinkRange&) const = default;
};

// Every address in `text`, in order: http://, https://, ftp://, irc://, ircs://
// (any case) or www. at a word's start, up to a blank or a control character.
// Punctuation that ends a sentence and a closing bracket opened before the
// address are left out.
std::vector<LinkRange> findLinks(std::u16string_view text);

// What opening `link` asks the desktop for: its text, with "http://" before a
// bare www. address.
std::u16string linkAddress(std::u16string_view text, LinkRange link);

// The link under the point (x, y) of `text` wrapped to `width`, y measured from
// the line's top; none where no character of a link is drawn (beside a row's end too).
std::optional<LinkRange> linkAtPoint(std::u16string_view text, int width,
                                     const TextMetrics& metrics, int x, int y);

// `runs` (in order, apart) with every link underlined in `colour`, over whatever
// style the characters had.
std::vector<StyleRun> withLinkRuns(const std::vector<StyleRun>& runs,
                                   const std::vector<LinkRange>& links, Colour colour);

// A link colour that reads well on `background`: dark blue on light, light blue on dark.
Colour linkColourOn(Colour background);

}  // namespace kolu
