#include "ui/link_finder.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "ui/text_wrap.h"

namespace kolu {
namespace {

constexpr std::array<std::u16string_view, 5> kSchemes = {u"http://", u"https://", u"ftp://",
                                                         u"irc://", u"ircs://"};
constexpr std::u16string_view kBareWeb = u"www.";

bool isAsciiAlnum(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool startsWithFolded(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Blanks (Unicode's too), control characters and the quotes and angle brackets
// chat puts around addresses end one.
bool endsAddress(char16_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0xA0)) {
        return true;
    }
    switch (c) {
        case u'<':
        case u'>':
        case u'"':
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
        case 0xFEFF:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200B;
    }
}

// Length of the address prefix starting at `at`, 0 for none. A prefix counts
// only at a word's start, so "xhttp://" or "awww.b" are no links.
std::size_t prefixAt(std::u16string_view text, std::size_t at) {
    const std::u16string_view rest = text.substr(at);
    const char16_t before = at > 0 ? text[at - 1] : u' ';
    if (isAsciiAlnum(before)) {
        return 0;
    }
    for (std::u16string_view scheme : kSchemes) {
        if (startsWithFolded(rest, scheme)) {
            return scheme.size();
        }
    }
    // "sub.www.x" or "/www.x" are parts of something else.
    if (before != u'.' && before != u'/' && before != u'@' && before != u'-' &&
        startsWithFolded(rest, kBareWeb)) {
        return kBareWeb.size();
    }
    return 0;
}

// The end of the address [start, end) less what only ends the sentence around it.
std::size_t trimEnd(std::u16string_view text, std::size_t start, std::size_t end) {
    while (end > start) {
        const char16_t last = text[end - 1];
        if (std::u16string_view(u".,;:!?'*").find(last) != std::u16string_view::npos) {
            --end;
            continue;
        }
        const std::size_t closer = std::u16string_view(u")]}").find(last);
        if (closer != std::u16string_view::npos) {
            // Kept when the address opened it, as in .../Foo_(bar).
            const std::u16string_view inside = text.substr(start, end - start);
            const auto opened = std::count(inside.begin(), inside.end(), u"([{"[closer]);
            const auto closed = std::count(inside.begin(), inside.end(), last);
            if (closed > opened) {
                --end;
                continue;
            }
        }
        break;
    }
    return end;
}

}  // namespace

std::vector<LinkRange> findLinks(std::u16string_view text) {
    std::vector<LinkRange> links;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t prefix = prefixAt(text, at);
        if (prefix == 0) {
            ++at;
            continue;
        }
        std::size_t end = at + prefix;
        while (end < text.size() && !endsAddress(text[end])) {
            ++end;
        }
        end = trimEnd(text, at + prefix, end);
        // A prefix alone, or with only punctuation after it, names nothing.
        const std::u16string_view named = text.substr(at + prefix, end - at - prefix);
        if (std::any_of(named.begin(), named.end(),
                        [](char16_t c) { return c > 0x7F || isAsciiAlnum(c); })) {
            links.push_back({at, end - at});
            at = end;
        } else {
            at += prefix;
        }
    }
    return links;
}

std::u16string linkAddress(std::u16string_view text, LinkRange link) {
    const std::u16string_view shown = text.substr(link.start, link.length);
    std::u16string address;
    if (startsWithFolded(shown, kBareWeb)) {
        address = u"http://";
    }
    address += shown;
    return address;
}

std::optional<LinkRange> linkAtPoint(std::u16string_view text, int width,
                                     const TextMetrics& metrics, int x, int y) {
    const int rowHeight = metrics.lineHeight();
    if (x < 0 || y < 0 || rowHeight <= 0) {
        return std::nullopt;
    }
    const std::vector<WrapRow> rows = wrapRows(text, width, metrics);
    const std::size_t rowIndex = static_cast<std::size_t>(y / rowHeight);
    if (rowIndex >= rows.size()) {
        return std::nullopt;
    }
    const WrapRow& row = rows[rowIndex];
    // The character whose cell holds x: as many as fit left of it come before.
    const std::size_t before = metrics.fitCount(text.substr(row.start, row.length), x);
    if (before >= row.length) {
        return std::nullopt;
    }
    const std::size_t offset = row.start + before;
    for (const LinkRange& link : findLinks(text)) {
        if (link.start <= offset && offset < link.start + link.length) {
            return link;
        }
    }
    return std::nullopt;
}

std::vector<StyleRun> withLinkRuns(const std::vector<StyleRun>& runs,
                                   const std::vector<LinkRange>& links, Colour colour) {
    if (links.empty()) {
        return runs;
    }
    // Every place a run or a link starts or ends cuts the text into pieces of one style.
    std::vector<std::size_t> cuts;
    for (const StyleRun& run : runs) {
        cuts.push_back(run.start);
        cuts.push_back(run.start + run.length);
    }
    for (const LinkRange& link : links) {
        cuts.push_back(link.start);
        cuts.push_back(link.start + link.length);
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<StyleRun> pieces;
    auto run = runs.cbegin();
    auto link = links.cbegin();
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const std::size_t from = cuts[i];
        while (run != runs.cend() && run->start + run->length <= from) {
            ++run;
        }
        while (link != links.cend() && link->start + link->length <= from) {
            ++link;
        }
        const bool inRun = run != runs.cend() && run->start <= from;
        const bool inLink = link != links.cend() && link->start <= from;
        if (!inRun && !inLink) {
            continue;
        }
        StyleRun piece = inRun ? *run : StyleRun{};
        piece.start = static_cast<std::uint32_t>(from);
        piece.length = static_cast<std::uint32_t>(cuts[i + 1] - from);
        if (inLink) {
            piece.flags |= StyleRun::kUnderline;
            piece.hasForeground = true;
            piece.foreground = colour;
        }
        pieces.push_back(piece);
    }
    return pieces;
}

Colour linkColourOn(Colour background) {
    // Rec. 601 luma, in 0..255.
    const unsigned luma =
        (299 * redOf(background) + 587 * greenOf(background) + 114 * blueOf(background)) / 1000;
    return luma >= 128 ? rgb(0x06, 0x45, 0xAD) : rgb(0x8A, 0xB4, 0xF8);
}

}  // namespace kolu
