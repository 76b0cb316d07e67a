#pragma once
// The client's wide text as Qt shows it (the way back is QString::toStdU16String).
#include <QString>
#include <string_view>

namespace kolu {

inline QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace kolu
