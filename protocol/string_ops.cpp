#include "protocol/string_ops.h"

namespace kolu {

void TrimRight(std::u16string& text) {
    const std::size_t last = text.find_last_not_of(u' ');
    text.erase(last == std::u16string::npos ? 0 : last + 1);
}

std::size_t SplitAt(std::u16string& destination, std::u16string_view source, char16_t separator) {
    const std::size_t at = source.find(separator);
    if (at == std::u16string_view::npos) {
        destination.assign(source);
        return source.size();
    }
    destination.assign(source.substr(0, at));
    return at + 1;
}

std::size_t SplitAtSign(std::u16string& destination, std::u16string_view source) {
    return SplitAt(destination, source, u'@');
}

std::size_t NextWord(std::u16string& destination, std::u16string_view text, std::size_t position) {
    if (position >= text.size()) {
        destination.clear();
        return text.size();
    }
    std::size_t blank = text.find(u' ', position);
    if (blank == std::u16string_view::npos) {
        blank = text.size();
    }
    destination.assign(text.substr(position, blank - position));
    return blank;
}

}  // namespace kolu
