#pragma once
// Font sizes in the settings and the layout are cell heights (ascent + descent),
// as the rows that show the text are that tall: one rule for every font.
#include <QFont>

namespace kolu {

// `base` at the largest pixel size whose cell height fits `cellPixels`.
QFont fontWithCellHeight(int cellPixels, QFont base = QFont());

}  // namespace kolu
