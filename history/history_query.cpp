#include "history/history_query.h"

#include <sqlite3.h>

#include <iterator>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace kolu::history {
namespace {

fts5_api* fts5Of(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

using Spans = std::vector<std::pair<int, int>>;

int takeSpan(void* spans, int flags, const char*, int, int start, int end) {
    if (!(flags & FTS5_TOKEN_COLOCATED)) {
        static_cast<Spans*>(spans)->emplace_back(start, end);
    }
    return SQLITE_OK;
}

}  // namespace

std::string matchQuery(sqlite3* db, std::u16string_view typed) {
    fts5_api* api = fts5Of(db);
    void* context = nullptr;
    fts5_tokenizer methods{};
    Fts5Tokenizer* tokenizer = nullptr;
    if (!api || api->xFindTokenizer(api, kTokenizer[0], &context, &methods) != SQLITE_OK ||
        methods.xCreate(context, const_cast<const char**>(kTokenizer + 1),
                        static_cast<int>(std::size(kTokenizer) - 1), &tokenizer) != SQLITE_OK) {
        return {};
    }
    const std::string text = toUtf8(typed);
    Spans spans;
    methods.xTokenize(tokenizer, &spans, FTS5_TOKENIZE_QUERY, text.data(),
                      static_cast<int>(text.size()), takeSpan);
    methods.xDelete(tokenizer);
    // Each word as typed (the index folds it again), so it is one token again.
    std::string query;
    for (const auto& [start, end] : spans) {
        query += query.empty() ? "\"" : " \"";
        for (int i = start; i < end; ++i) {
            query += text[static_cast<std::size_t>(i)];
            if (text[static_cast<std::size_t>(i)] == '"') {
                query += '"';  // never a letter, but a quote inside quotes is doubled
            }
        }
        query += '"';
    }
    return query;
}

}  // namespace kolu::history
