#pragma once
// What the whisper list reads from and writes to the field it serves: the word
// being typed (the text after the last blank) and the text after a suggestion
// is taken.
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

// The typed word to look up, or nothing when the list must close: an empty
// text, an empty typed word (the text ends in a blank), or a caret before the
// typed word's first character. Fields that can't tell their caret pass 0, so
// they are served only while their text holds no blank.
std::optional<std::u16string> typedWordFor(std::u16string_view text, std::size_t caret);

// The text with everything after its last blank (all of it when there is none)
// replaced by `word` and one blank. An empty text stays empty.
std::u16string takeSuggestion(std::u16string_view text, std::u16string_view word);

}  // namespace kolu
