#pragma once
// Text metrics for layout tests: every character is `charWidth` pixels wide (unless given a
// width of its own) and rows are `rowHeight` tall, so wrapped rows can be worked out by hand.
#include <map>

#include "ui/text_metrics.h"

namespace kolu::test {

class FixedMetrics final : public TextMetrics {
  public:
    explicit FixedMetrics(int charWidth = 6, int rowHeight = 13)
        : m_charWidth(charWidth), m_rowHeight(rowHeight) {}

    void setWidth(char16_t c, int width) { m_widths[c] = width; }
    void setRowHeight(int height) { m_rowHeight = height; }

    int width(std::u16string_view run) const override {
        int total = 0;
        for (char16_t c : run) {
            total += widthOf(c);
        }
        return total;
    }
    int lineHeight() const override { return m_rowHeight; }

    std::size_t fitCount(std::u16string_view text, int maxWidth) const override {
        long long extent = 0;
        std::size_t fit = 0;
        while (fit < text.size() && (extent += widthOf(text[fit])) <= maxWidth) {
            ++fit;
        }
        return fit;
    }

  private:
    int widthOf(char16_t c) const {
        auto it = m_widths.find(c);
        return it == m_widths.end() ? m_charWidth : it->second;
    }

    int m_charWidth;
    int m_rowHeight;
    std::map<char16_t, int> m_widths;
};

}  // namespace kolu::test
