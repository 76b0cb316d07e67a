#pragma once
// The full-text query made from what a user typed, cut into words by the very
// tokenizer the index uses.
#include <string>
#include <string_view>

struct sqlite3;

namespace kolu::history {

// The tokenizer lines_fts is made with (history_schema.cpp), name first.
inline constexpr const char* kTokenizer[] = {"unicode61", "remove_diacritics", "2"};

// An FTS5 query finding the lines that hold every word of `typed`: the words are
// the tokenizer's (runs of letters and digits), each quoted alone, so nothing the
// user types is read as query syntax (OR, NEAR, *, ") and no quoted string holds
// two words, which an index without positions can't answer. "" when `typed`
// holds no word or `db` has no FTS5.
std::string matchQuery(sqlite3* db, std::u16string_view typed);

}  // namespace kolu::history
