#include "gui/qt_font.h"

#include <QFontMetrics>
#include <algorithm>

namespace kolu {

QFont fontWithCellHeight(int cellPixels, QFont base) {
    const int cell = std::max(1, cellPixels);
    int pixels = cell;
    base.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(base).height() > cell) {
        base.setPixelSize(--pixels);
    }
    return base;
}

}  // namespace kolu
