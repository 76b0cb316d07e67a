#pragma once
// The text views' font metrics over Qt: widths are the sum of each character's
// advance, as the handheld's extent call measured them, so a row's width, the
// characters that fit and the x of any character agree wherever they are asked.
// Advances are cached per character; the font owner calls setFont on a change.
#include <QFont>
#include <QFontMetrics>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ui/text_metrics.h"

namespace kolu {

class QtTextMetrics final : public TextMetrics {
  public:
    explicit QtTextMetrics(const QFont& font = QFont());

    // Every text drawn with these metrics must use font(): it is the given font
    // with kerning and hinting set so that drawn runs keep the measured widths.
    void setFont(const QFont& font);
    const QFont& font() const { return m_font; }
    int ascent() const { return m_ascent; }

    int width(std::u16string_view run) const override;
    int lineHeight() const override { return m_height; }
    std::size_t fitCount(std::u16string_view text, int maxWidth) const override;

  private:
    // Advance of the character at `index` (a surrogate pair counts on its first
    // half, its second half is 0 wide); sets `units` to the code units it covers.
    int advanceAt(std::u16string_view text, std::size_t index, std::size_t& units) const;
    int advanceOf(char32_t codePoint) const;

    QFont m_font;
    QFontMetrics m_metrics;
    int m_height = 0;
    int m_ascent = 0;
    // Advances of the basic plane, -1 until first asked.
    mutable std::vector<std::int16_t> m_basic;
    mutable std::unordered_map<char32_t, int> m_other;
};

}  // namespace kolu
