// Arbitrary favorites.txt bytes through the reader and the writer. Beyond the
// sanitizers: at most 64 sentences of at most 64 characters, none holding a
// CR LF or a NUL (a lone CR or LF is the sentence's own); what is written reads back as the same
// sentences cut to 63 characters, and writing those again gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "commands/favorites.h"

namespace {

using namespace kolu;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "favorites: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::u16string> sentences = parseFavorites(bytes);
    require(sentences.size() <= Favorites::kMaxLines, "at most 64 sentences");
    for (const std::u16string& sentence : sentences) {
        require(sentence.size() <= Favorites::kLoadedChars, "sentences of at most 64 characters");
        require(sentence.find(u'\0') == std::u16string::npos &&
                    sentence.find(u"\r\n") == std::u16string::npos,
                "no CR LF or NUL inside a sentence");
    }
    const std::string written = favoritesFileText(sentences);
    const std::vector<std::u16string> reread = parseFavorites(written);
    require(reread.size() == sentences.size(), "every sentence written reads back");
    for (std::size_t i = 0; i < reread.size(); ++i) {
        require(reread[i].size() <= Favorites::kSavedChars && sentences[i].starts_with(reread[i]),
                "a sentence reads back as its first 63 characters");
    }
    require(favoritesFileText(reread) == written, "a second write gives the same bytes");
    return 0;
}
