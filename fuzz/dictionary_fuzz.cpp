// Arbitrary dict.dat bytes through the lookup and the adding of a word, in memory.
// Input: byte 0 picks the maximum, byte 1 the typed word's length and byte 2 the
// added word's length (each at most 15), then those words (one byte per
// character; 0xFF stands for U+0100 and 0xFE for U+0142, whose low bytes are 0
// and 0x42), then the file. Beyond "no crash, no hang, no out-of-bounds read"
// (the sanitizers), it checks the results against a reference reader:
// - every listed word is stored, begins with the typed word and is not it;
// - a listing that never hit its maximum lists every stored word it should;
// - adding keeps every word that was readable, makes the new word readable and
//   leaves whole records ending in a word's end; adding it again changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "completion/dictionary.h"
#include "completion/word_listing.h"
#include "tests/support/dictionary_model.h"

namespace {

using namespace kolu;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::u16string wordFrom(const std::uint8_t* data, std::size_t length) {
    std::u16string word;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = data[i];
        word.push_back(b == 0xFF ? u'\u0100' : b == 0xFE ? u'\u0142' : static_cast<char16_t>(b));
    }
    return word;
}

// The lookup's steps, keeping the listing's count to know whether it was cut short.
std::vector<std::u16string> listAll(std::string bytes, std::u16string_view typed, int maximum,
                                    bool& complete) {
    complete = false;
    std::vector<std::u16string> rows;
    MemoryDictStore store(bytes);
    DictHeader header;
    DbCzytajNaglowek(store, header);
    if (typed.empty() || header[dictByte(typed.front())] == 0) {
        complete = true;
        return rows;
    }
    DictReader reader(store, bytes.size());
    const std::uint32_t slot = header[dictByte(typed.front())];
    DictRecord record;
    if (!reader.enter(slot, record)) {
        complete = true;
        return rows;
    }
    std::u16string_view prefix = typed.substr(1);
    std::uint32_t offset = slot;
    DbPorownujSlowa(reader, prefix, record, offset);
    if (!prefix.empty()) {
        complete = true;
        return rows;
    }
    std::u16string word(typed);
    int count = 1;
    DbZbierzSlowa(reader, offset, word, typed.size(), typed.size(), count, maximum, rows);
    complete = count < maximum;
    return rows;
}

void checkRows(const std::vector<std::u16string>& rows, std::u16string_view typed,
               const std::set<std::u16string>* stored) {
    const std::u16string typedStored = test::storedForm(typed);
    for (const std::u16string& row : rows) {
        require(row.size() > typed.size() && row.size() <= kDictMaxWord);
        require(row.compare(0, typed.size(), typed) == 0);
        if (stored) {
            require(stored->contains(test::storedForm(row)));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const int maximum = data[0] % 7 - 1;  // -1 .. 5, as a setting might hold
    const std::size_t typedLength = data[1] % 16;
    const std::size_t wordLength = data[2] % 16;
    if (size < 3 + typedLength + wordLength) {
        return 0;
    }
    const std::u16string typed = wordFrom(data + 3, typedLength);
    const std::u16string word = wordFrom(data + 3 + typedLength, wordLength);
    const std::string file(reinterpret_cast<const char*>(data) + 3 + typedLength + wordLength,
                           size - 3 - typedLength - wordLength);

    std::set<std::u16string> before;
    const bool known = test::ReferenceWords(file).collect(before);

    // The lookup as the whisper list makes it.
    {
        std::string bytes = file;
        MemoryDictStore store(bytes);
        DictScan scan;
        const WordLookup result = lookupWords(store, typed, maximum, nullptr, scan);
        require(result.opened);
        require(bytes == file);
        require(static_cast<int>(result.words.size()) <= std::max(maximum, 1));
        checkRows(result.words, typed, known ? &before : nullptr);
    }
    // A listing that was never cut short by its maximum holds every word the typed one
    // leads to. (Small files only: the listing's own visit budget must not be what stops it.)
    std::set<std::u16string> listable;
    if (known && file.size() <= 8192 &&
        test::ReferenceWords(file).collectListable(test::storedForm(typed), listable)) {
        bool complete = false;
        const std::vector<std::u16string> rows = listAll(file, typed, 1024, complete);
        checkRows(rows, typed, &before);
        if (complete && !typed.empty()) {
            std::set<std::u16string> listed;
            for (const std::u16string& row : rows) {
                listed.insert(test::storedForm(row));
            }
            for (const std::u16string& stored : listable) {
                require(stored.size() == typed.size() || listed.contains(stored));
            }
        }
    }
    // Adding a word.
    std::string bytes = file;
    MemoryDictStore store(bytes);
    DictScan scan;
    const DictAddResult result = dictAddWord(store, word, nullptr, scan);
    require(result != DictAddResult::Failed);
    if (result == DictAddResult::NotStorable) {
        require(bytes == file);
        return 0;
    }
    require(bytes.size() >= kDictHeaderBytes + kDictRecordBytes);
    require((bytes.size() - kDictHeaderBytes) % kDictRecordBytes == 0);
    require(bytes.back() == '\0');
    std::set<std::u16string> after;
    if (known && test::ReferenceWords(bytes).collect(after)) {
        for (const std::u16string& stored : before) {
            require(after.contains(stored));
        }
        require(after.contains(test::storedForm(word)));
    }
    const std::string added = bytes;
    DictScan again;
    require(dictAddWord(store, word, nullptr, again) == DictAddResult::Present);
    require(bytes == added);
    return 0;
}
