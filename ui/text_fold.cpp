#include "ui/text_fold.h"

#include <algorithm>
#include <iterator>

#include "ui/text_lines.h"

namespace kolu {
namespace {

// Made by tools/fold_table/generate.py: one character per code point of each
// block, its folded letter; '.' unchanged, '-' a mark that is dropped, '*' a
// letter that folds to two (kExpansions).
// U+00C0..U+024F
constexpr char16_t kLatin[] =
    u"aaaaaa*ceeeeiiiiðnooooo.ouuuuyþ*aaaaaa*ceeeeiiii.nooooo.ouuuuy.y"
    u"aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii**jjkk.llllll."
    u".llnnnnnn*ŋ.oooooo**rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs"
    u"bɓƃ.ƅ.ɔƈ.ɖɗƌ..ǝəɛƒ.ɠɣ.ɩɨƙ.l.ɯɲ.ɵooƣ.ƥ.ʀƨ.ʃ..ƭ.ʈuuʊʋƴ.zzʒƹ...ƽ..."
    u"....*********aaiioouuuuuuuuuu.aaaa**ggggkkooooʒʒj***ggƕƿnnaa**oo"
    u"aaaaeeeeiiiioooorrrruuuussttȝ.hhƞ.ȣ.ȥ.aaeeooooooooyy......ⱥcclⱦ."
    u".ɂ.bʉʌeejjɋ.rryy";
// U+0370..U+03FF
constexpr char16_t kGreek[] =
    u"ͱ.ͳ.ʹ.ͷ........ϳ......α.εηι.ο.υωιαβγδεζηθικλμνξοπρ.στυφχψωιυαεηι"
    u"υ.................σ.......ιυουωϗβθυυυφπ.ϙ.ϛ.ϝ.ϟ.ϡ.ϣ.ϥ.ϧ.ϩ.ϫ.ϭ.ϯ."
    u"κρσ.θε.ϸ.σϻ..ͻͼͽ";
// U+0400..U+04FF
constexpr char16_t kCyrillic[] =
    u"ееђгєѕііјљњћкиуџабвгдежзииклмнопрстуфхцчшщъыьэюя.........и......"
    u"................ее.г...і....киу.ѡ.ѣ.ѥ.ѧ.ѩ.ѫ.ѭ.ѯ.ѱ.ѳ.ѵ.ѵѵѹ.ѻ.ѽ.ѿ."
    u"ҁ..-------ҋ.ҍ.ҏ.ґ.ғ.ҕ.җ.ҙ.қ.ҝ.ҟ.ҡ.ң.ҥ.ҧ.ҩ.ҫ.ҭ.ү.ұ.ҳ.ҵ.ҷ.ҹ.һ.ҽ.ҿ."
    u"ӏжжӄ.ӆ.ӈ.ӊ.ӌ.ӎ..ааааӕ.ееә.әәжжззӡ.ииииооө.өөээууууууччӷ.ыыӻ.ӽ.ӿ.";
// U+1E00..U+1EFF
constexpr char16_t kLatinAdditional[] =
    u"aabbbbbbccddddddddddeeeeeeeeeeffgghhhhhhhhhhiiiikkkkkkllllllllmm"
    u"mmmmnnnnnnnnoooooooopppprrrrrrrrssssssssssttttttttuuuuuuuuuuvvvv"
    u"wwwwwwwwwwxxxxyyzzzzzzhtwy*s..*.aaaaaaaaaaaaaaaaaaaaaaaaeeeeeeee"
    u"eeeeeeeeiiiioooooooooooooooooooooooouuuuuuuuuuuuuuyyyyyyyyỻ.ỽ.ỿ.";
// U+1F00..U+1FFF
constexpr char16_t kGreekExtended[] =
    u"ααααααααααααααααεεεεεε..εεεεεε..ηηηηηηηηηηηηηηηηιιιιιιιιιιιιιιιι"
    u"οοοοοο..οοοοοο..υυυυυυυυ.υ.υ.υ.υωωωωωωωωωωωωωωωωααεεηηιιοουυωω.."
    u"ααααααααααααααααηηηηηηηηηηηηηηηηωωωωωωωωωωωωωωωωααααα.ααααααα.ι."
    u"..ηηη.ηηεεηηη...ιιιι..ιιιιιι....υυυυρρυυυυυυρ.....ωωω.ωωοοωωω...";

struct Block {
    char16_t first;
    const char16_t* table;
    std::size_t size;
};
template <std::size_t N>
constexpr Block block(char16_t first, const char16_t (&table)[N]) {
    return {first, table, N - 1};
}
constexpr Block kBlocks[] = {
    block(0x00C0, kLatin),           block(0x0370, kGreek),         block(0x0400, kCyrillic),
    block(0x1E00, kLatinAdditional), block(0x1F00, kGreekExtended),
};
static_assert(std::size(kLatin) - 1 == 0x250 - 0xC0);
static_assert(std::size(kGreek) - 1 == 0x400 - 0x370);
static_assert(std::size(kCyrillic) - 1 == 0x100);
static_assert(std::size(kLatinAdditional) - 1 == 0x100);
static_assert(std::size(kGreekExtended) - 1 == 0x100);

struct Expansion {
    char16_t code;
    const char16_t* folded;
};
// Sorted by code.
constexpr Expansion kExpansions[] = {
    {0x00C6, u"ae"}, {0x00DF, u"ss"}, {0x00E6, u"ae"}, {0x0132, u"ij"}, {0x0133, u"ij"},
    {0x0149, u"ʼn"}, {0x0152, u"oe"}, {0x0153, u"oe"}, {0x01C4, u"dz"}, {0x01C5, u"dz"},
    {0x01C6, u"dz"}, {0x01C7, u"lj"}, {0x01C8, u"lj"}, {0x01C9, u"lj"}, {0x01CA, u"nj"},
    {0x01CB, u"nj"}, {0x01CC, u"nj"}, {0x01E2, u"ae"}, {0x01E3, u"ae"}, {0x01F1, u"dz"},
    {0x01F2, u"dz"}, {0x01F3, u"dz"}, {0x01FC, u"ae"}, {0x01FD, u"ae"}, {0x1E9A, u"aʾ"},
    {0x1E9E, u"ss"}};

// Combining marks outside the blocks above: the accents of decomposed text.
bool isCombiningMark(char16_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

void put(FoldedText& out, char16_t c, std::uint32_t origin) {
    out.text.push_back(c);
    out.origin.push_back(origin);
}

void foldUnit(char16_t c, std::uint32_t origin, FoldedText& out) {
    if (c < 0x80) {
        put(out, c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c, origin);
        return;
    }
    if (isCombiningMark(c)) {
        return;
    }
    if (c >= 0xFF21 && c <= 0xFF5A) {  // full-width Latin letters
        put(out, static_cast<char16_t>(u'a' + (c - 0xFF21) % 0x20), origin);
        return;
    }
    for (const Block& b : kBlocks) {
        if (c < b.first || c >= b.first + b.size) {
            continue;
        }
        const char16_t folded = b.table[c - b.first];
        if (folded == u'-') {
            return;
        }
        if (folded == u'*') {
            const auto it =
                std::lower_bound(std::begin(kExpansions), std::end(kExpansions), c,
                                 [](const Expansion& e, char16_t code) { return e.code < code; });
            for (const char16_t* p = it->folded; *p; ++p) {
                put(out, *p, origin);
            }
            return;
        }
        put(out, folded == u'.' ? c : folded, origin);
        return;
    }
    put(out, c, origin);
}

// matches() runs newest first: by line, then start, both descending.
bool newerThan(const TextMatch& a, const TextMatch& b) {
    return a.line != b.line ? a.line > b.line : a.start > b.start;
}

}  // namespace

std::pair<std::size_t, std::size_t> FoldedText::originalRange(std::size_t start,
                                                              std::size_t length) const {
    const std::size_t last = start + length - 1;
    // A match that ends inside a letter's expansion (the first "s" of "ß") takes the letter.
    std::size_t after = start + length;
    while (after + 1 < origin.size() && origin[after] == origin[last]) {
        ++after;
    }
    return {origin[start], origin[after]};
}

void foldForSearch(std::u16string_view text, FoldedText& out) {
    out.text.clear();
    out.origin.clear();
    out.text.reserve(text.size());
    out.origin.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        foldUnit(text[i], static_cast<std::uint32_t>(i), out);
    }
    out.origin.push_back(static_cast<std::uint32_t>(text.size()));
}

std::u16string foldForSearch(std::u16string_view text) {
    FoldedText folded;
    foldForSearch(text, folded);
    return std::move(folded.text);
}

void TextFinder::start(const TextLines& lines, std::u16string_view query) {
    clear();
    m_lines = &lines;
    m_query = foldForSearch(query);
    m_next = lines.endPosition();
    m_end = lines.endPosition();
    m_resets = lines.resets();
}

void TextFinder::clear() {
    m_lines = nullptr;
    m_query.clear();
    m_next = 0;
    m_end = 0;
    m_matches.clear();
}

bool TextFinder::finished() const {
    return !m_lines || m_query.empty() || m_next <= m_lines->firstPosition() ||
           m_matches.size() >= kMaxMatches;
}

bool TextFinder::searchSlice(std::chrono::steady_clock::duration budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    while (!finished()) {
        for (std::size_t n = 0; n < kLinesPerCheck && !finished(); ++n) {
            searchLine(--m_next, m_matches);
            if (m_matches.size() > kMaxMatches) {
                m_matches.resize(kMaxMatches);
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
    }
    return finished();
}

std::size_t TextFinder::searchAppended() {
    if (!m_lines || m_query.empty()) {
        return 0;
    }
    m_appended.clear();
    for (std::int64_t position = m_lines->endPosition(); position > m_end;) {
        searchLine(--position, m_appended);
    }
    m_end = m_lines->endPosition();
    m_matches.insert(m_matches.begin(), m_appended.begin(), m_appended.end());
    return m_appended.size();
}

TextFinder::Followed TextFinder::followPaging() {
    Followed followed;
    if (!m_lines) {
        return followed;
    }
    const std::int64_t first = m_lines->firstPosition();
    const std::int64_t end = m_lines->endPosition();
    if (m_lines->resets() != m_resets) {
        m_resets = m_lines->resets();
        m_matches.clear();
        m_next = end;
        m_end = end;
        followed.restarted = true;
        return followed;
    }
    // Newest first: lines gone from the back are at the front of the list, the oldest at its end.
    const auto kept = std::find_if(m_matches.begin(), m_matches.end(),
                                   [end](const TextMatch& match) { return match.line < end; });
    followed.droppedNewest = static_cast<std::size_t>(kept - m_matches.begin());
    m_matches.erase(m_matches.begin(), kept);
    std::erase_if(m_matches, [first](const TextMatch& match) { return match.line < first; });
    m_end = std::min(m_end, end);
    m_next = std::min(m_next, end);
    return followed;
}

void TextFinder::searchLine(std::int64_t position, std::vector<TextMatch>& out) {
    foldForSearch(m_lines->line(static_cast<std::size_t>(position - m_lines->firstPosition())).text,
                  m_folded);
    m_lineMatches.clear();
    const std::u16string_view folded = m_folded.text;
    for (std::size_t at = folded.find(m_query); at != std::u16string_view::npos;
         at = folded.find(m_query, at + m_query.size())) {
        const auto [begin, end] = m_folded.originalRange(at, m_query.size());
        m_lineMatches.push_back({position, begin, end - begin});
    }
    out.insert(out.end(), m_lineMatches.rbegin(), m_lineMatches.rend());
}

void TextFinder::matchesInLine(std::int64_t line, std::vector<TextMatch>& out) const {
    const auto [first, last] =
        std::equal_range(m_matches.begin(), m_matches.end(), TextMatch{line, 0, 0},
                         [](const TextMatch& a, const TextMatch& b) { return a.line > b.line; });
    out.insert(out.end(), std::make_reverse_iterator(last), std::make_reverse_iterator(first));
}

std::size_t TextFinder::indexOf(std::int64_t line, std::size_t start) const {
    const TextMatch key{line, start, 0};
    const auto it = std::lower_bound(m_matches.begin(), m_matches.end(), key, newerThan);
    return it != m_matches.end() && it->line == line && it->start == start
               ? static_cast<std::size_t>(it - m_matches.begin())
               : m_matches.size();
}

}  // namespace kolu
