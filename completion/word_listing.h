#pragma once
// The words the whisper list offers for a typed word: the prefix walk finds where
// the typed word ends in the tree, and the listing collects the stored words that
// go on from there, in the order of the walk (later alternatives first, nothing
// sorted), up to the maximum. Pure over a DictReader: memory or an open file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "completion/dictionary.h"

namespace kolu {

// Lists the words from the record at `offset`, which follows the typed word
// `typed` in the tree. The typed word itself is never listed. Sibling chains are
// followed while fewer than `maximum` paths are open (a path that ends in the
// typed word itself does not count), so the result holds at most
// max(`maximum`, 1) words.
std::vector<std::u16string> DbListujSlowa(DictReader& reader, std::u16string_view typed,
                                          std::uint32_t offset, int maximum);

// The walk behind DbListujSlowa, from the record at `offset` at `position` of the
// word buffer `word` (which holds the typed word in its first `typedLength`
// characters). `count` is the number of open paths. Complete words are appended to
// `rows`. It keeps its pending branches on the heap, so a damaged file with long
// chains cannot exhaust the stack; every chain it follows points forward, and it
// visits at most 1,000,000 records, so a damaged file whose links lead into other
// words cannot make one keystroke slow whatever the maximum.
void DbZbierzSlowa(DictReader& reader, std::uint32_t offset, std::u16string& word,
                   std::size_t typedLength, std::size_t position, int& count, int maximum,
                   std::vector<std::u16string>& rows);

// The lookup behind the whisper list on an open dict.dat: the header's slot for
// the typed word's first character, the prefix walk, then the listing. Read
// failures go to the error log (when given) under DbMonitorujSlowo.
WordLookup lookupWords(DictStore& store, std::u16string_view typed, int maximum, ErrorLog* log,
                       DictScan& scan);

}  // namespace kolu
