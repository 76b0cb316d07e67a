#include "completion/whisper_text.h"

namespace kolu {
namespace {

std::size_t typedWordStart(std::u16string_view text) {
    const std::size_t blank = text.rfind(u' ');
    return blank == std::u16string_view::npos ? 0 : blank + 1;
}

}  // namespace

std::optional<std::u16string> typedWordFor(std::u16string_view text, std::size_t caret) {
    const std::size_t start = typedWordStart(text);
    if (text.empty() || start == text.size() || caret < start) {
        return std::nullopt;
    }
    return std::u16string(text.substr(start));
}

std::u16string takeSuggestion(std::u16string_view text, std::u16string_view word) {
    if (text.empty()) {
        return {};
    }
    std::u16string result(text.substr(0, typedWordStart(text)));
    result += word;
    result += u' ';
    return result;
}

}  // namespace kolu
