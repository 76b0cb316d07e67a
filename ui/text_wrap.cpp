#include "ui/text_wrap.h"

#include <climits>

#include "platform/text.h"

namespace kolu {
namespace {

// Calls `row` for each row of `text` until it returns false.
template <typename RowFn>
void forEachRow(std::u16string_view text, int maxWidth, const TextMetrics& metrics, RowFn&& row) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t length = wrapRowLength(text.substr(start), maxWidth, metrics);
        if (!row(WrapRow{start, length})) {
            return;
        }
        start += length;
    }
}

}  // namespace

std::size_t wrapRowLength(std::u16string_view rest, int maxWidth, const TextMetrics& metrics) {
    if (rest.empty()) {
        return 0;
    }
    const std::size_t fit = metrics.fitCount(rest, maxWidth);
    if (fit >= rest.size()) {
        return rest.size();
    }
    // A blank at the first position that doesn't fit still ends the row: it is
    // invisible at the row's end.
    for (std::size_t k = fit + 1; k-- > fit / 2;) {
        if (rest[k] == u' ') {
            return k + 1;
        }
    }
    std::size_t length = fit;
    if (length == 0) {
        length = 1;  // a view narrower than one character still shows every character
    }
    // Cutting a surrogate pair would draw two broken halves.
    if (length < rest.size() && isHighSurrogate(rest[length - 1]) && isLowSurrogate(rest[length])) {
        length = length > 1 ? length - 1 : 2;
    }
    return length;
}

std::vector<WrapRow> wrapRows(std::u16string_view text, int maxWidth, const TextMetrics& metrics) {
    std::vector<WrapRow> rows;
    forEachRow(text, maxWidth, metrics, [&](WrapRow row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

std::size_t wrapRowCount(std::u16string_view text, int maxWidth, const TextMetrics& metrics) {
    std::size_t count = 0;
    forEachRow(text, maxWidth, metrics, [&](WrapRow) {
        ++count;
        return true;
    });
    return count;
}

int wrappedHeight(std::u16string_view text, int maxWidth, const TextMetrics& metrics) {
    const long long rows = static_cast<long long>(wrapRowCount(text, maxWidth, metrics));
    const long long height = rows * metrics.lineHeight();
    if (height > INT_MAX) {
        return INT_MAX;
    }
    return height < 0 ? 0 : static_cast<int>(height);
}

std::size_t hitTestLine(std::u16string_view text, int maxWidth, const TextMetrics& metrics, int x,
                        int y) {
    const int rowHeight = metrics.lineHeight();
    long long top = 0;
    std::size_t answer = 0;
    forEachRow(text, maxWidth, metrics, [&](WrapRow row) {
        const long long offset = y - top;
        if (offset >= 1 && offset < rowHeight) {
            answer = row.start + metrics.fitCount(text.substr(row.start, row.length), x);
            return false;
        }
        top += rowHeight;
        return top <= y;  // rows below the point can't hold it
    });
    return answer;
}

}  // namespace kolu
