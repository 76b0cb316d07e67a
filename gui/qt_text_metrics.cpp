#include "gui/qt_text_metrics.h"

#include <QString>
#include <algorithm>
#include <limits>

#include "platform/text.h"

namespace kolu {
namespace {

QFont drawingFont(QFont font) {
    // Kerning would make a drawn run narrower than the sum of its advances, and
    // unhinted advances are fractional: both would move highlights off their text.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

}  // namespace

QtTextMetrics::QtTextMetrics(const QFont& font)
    : m_font(drawingFont(font)), m_metrics(m_font), m_basic(0x10000, -1) {
    m_height = m_metrics.height();
    m_ascent = m_metrics.ascent();
}

void QtTextMetrics::setFont(const QFont& font) {
    m_font = drawingFont(font);
    m_metrics = QFontMetrics(m_font);
    m_height = m_metrics.height();
    m_ascent = m_metrics.ascent();
    m_basic.assign(0x10000, -1);
    m_other.clear();
}

int QtTextMetrics::advanceOf(char32_t codePoint) const {
    if (codePoint < 0x10000) {
        std::int16_t& cached = m_basic[codePoint];
        if (cached < 0) {
            const int advance =
                m_metrics.horizontalAdvance(QChar(static_cast<char16_t>(codePoint)));
            cached = static_cast<std::int16_t>(
                std::clamp(advance, 0, int{std::numeric_limits<std::int16_t>::max()}));
        }
        return cached;
    }
    auto it = m_other.find(codePoint);
    if (it == m_other.end()) {
        const char32_t single[] = {codePoint};
        const int advance = m_metrics.horizontalAdvance(QString::fromUcs4(single, 1));
        it = m_other.emplace(codePoint, std::max(advance, 0)).first;
    }
    return it->second;
}

int QtTextMetrics::advanceAt(std::u16string_view text, std::size_t index,
                             std::size_t& units) const {
    const char16_t c = text[index];
    if (isHighSurrogate(c) && index + 1 < text.size() && isLowSurrogate(text[index + 1])) {
        units = 2;
        return advanceOf(codePointOfPair(c, text[index + 1]));
    }
    units = 1;
    return advanceOf(c);
}

int QtTextMetrics::width(std::u16string_view run) const {
    long long total = 0;
    for (std::size_t i = 0; i < run.size();) {
        std::size_t units = 1;
        total += advanceAt(run, i, units);
        i += units;
    }
    return total > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                   : static_cast<int>(total);
}

std::size_t QtTextMetrics::fitCount(std::u16string_view text, int maxWidth) const {
    long long extent = 0;
    std::size_t fit = 0;
    while (fit < text.size()) {
        std::size_t units = 1;
        extent += advanceAt(text, fit, units);
        if (extent > maxWidth) {
            break;
        }
        fit += units;
    }
    return fit;
}

}  // namespace kolu
