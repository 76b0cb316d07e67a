#pragma once
// A colour of the client's table (0x00BBGGRR) as Qt paints it.
#include <QColor>

#include "settings/colour_table.h"

namespace kolu {

inline QColor toQColor(Colour colour) {
    return QColor(static_cast<int>(redOf(colour)), static_cast<int>(greenOf(colour)),
                  static_cast<int>(blueOf(colour)));
}

}  // namespace kolu
