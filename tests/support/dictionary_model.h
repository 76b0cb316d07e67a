#pragma once
// Helpers for the dictionary tests and the fuzzer: dictionaries built in memory, raw field
// access, and a reference reader that collects every stored word with code of its own.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "completion/dictionary.h"

namespace kolu::test {

inline std::string emptyDictionary() {
    return std::string(kDictHeaderBytes, '\0');
}

// A dictionary holding `words`, added in order to an empty header.
inline std::string buildDictionary(const std::vector<std::u16string_view>& words) {
    std::string bytes = emptyDictionary();
    MemoryDictStore store(bytes);
    for (std::u16string_view word : words) {
        DictScan scan;
        dictAddWord(store, word, nullptr, scan);
    }
    return bytes;
}

// The dictionary a first start writes: every word of the seed text.
inline std::string seedDictionary() {
    std::vector<std::u16string_view> words;
    for (std::u16string_view text = kDictSeedText; !text.empty();) {
        words.push_back(text.substr(0, text.find(u' ')));
        text.remove_prefix(std::min(text.size(), words.back().size() + 1));
    }
    return buildDictionary(words);
}

inline std::uint32_t load32At(std::string_view bytes, std::size_t offset) {
    return offset + 4 > bytes.size()
               ? 0
               : dictLoad32(reinterpret_cast<const unsigned char*>(bytes.data() + offset));
}

inline void store32At(std::string& bytes, std::size_t offset, std::uint32_t value) {
    dictStore32(reinterpret_cast<unsigned char*>(bytes.data() + offset), value);
}

// The reference reader. A link counts when it names a whole record past the header on a
// record boundary, and a `next` only when it points forward; a word has at most 250
// characters. collect() is false past `budget` record visits (only damaged files get there).
class ReferenceWords {
  public:
    explicit ReferenceWords(std::string_view bytes, std::size_t budget = 2'000'000)
        : m_bytes(bytes), m_budget(budget) {}

    bool collect(std::set<std::u16string>& out) {
        m_out = &out;
        for (unsigned slot = 0; slot < kDictSlots; ++slot) {
            const std::uint32_t first = load32At(m_bytes.substr(0, kDictHeaderBytes), 4 * slot);
            std::u16string word(1, static_cast<char16_t>(slot));
            if (valid(first) && !walk(first, word)) {
                return false;
            }
        }
        return true;
    }

    // The words a lookup of `typed` (stored form) can list, each longer than it: those
    // below the first record of each sibling list that holds the next character, as the
    // lookups go (a damaged file can repeat a character among siblings). False past the
    // budget.
    bool collectListable(std::u16string_view typed, std::set<std::u16string>& out) {
        std::uint64_t at = typed.empty() ? 0 : load32At(m_bytes, 4 * (typed.front() & 0xFF));
        for (const char16_t ch : typed.substr(std::min<std::size_t>(1, typed.size()))) {
            // A character whose low byte is 0 matches nothing, not even a word's end.
            while (valid(at) && (ch == 0 || static_cast<unsigned char>(m_bytes[at + 4]) != ch)) {
                const std::uint32_t next = load32At(m_bytes, at);
                at = next > at ? next : 0;
            }
            at = valid(at) ? at + kDictRecordBytes : 0;
        }
        std::u16string word(typed);
        m_out = &out;
        return !valid(at) || walk(at, word);
    }

  private:
    bool valid(std::uint64_t at) const {
        return at >= kDictHeaderBytes && (at - kDictHeaderBytes) % kDictRecordBytes == 0 &&
               at + kDictRecordBytes <= m_bytes.size();
    }

    bool walk(std::uint64_t at, std::u16string& word) {
        for (;;) {
            if (m_budget-- == 0) {
                return false;
            }
            const auto ch = static_cast<unsigned char>(m_bytes[at + 4]);
            if (ch == 0) {
                m_out->insert(word);
            } else if (word.size() < kDictMaxWord && valid(at + kDictRecordBytes)) {
                word.push_back(static_cast<char16_t>(ch));
                const bool finished = walk(at + kDictRecordBytes, word);
                word.pop_back();
                if (!finished) {
                    return false;
                }
            }
            const std::uint32_t next = load32At(m_bytes, at);
            if (next <= at || !valid(next)) {
                return true;
            }
            at = next;
        }
    }

    std::string_view m_bytes;
    std::size_t m_budget;
    std::set<std::u16string>* m_out = nullptr;
};

inline std::set<std::u16string> referenceWords(std::string_view bytes) {
    std::set<std::u16string> words;
    ReferenceWords(bytes).collect(words);
    return words;
}

// A word as it reads back from the file: each character's low byte, zero-extended.
inline std::u16string storedForm(std::u16string_view word) {
    std::u16string out;
    for (char16_t c : word) {
        out.push_back(static_cast<char16_t>(dictByte(c)));
    }
    return out;
}

}  // namespace kolu::test
