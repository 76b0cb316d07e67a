// The history database: lines kept across a reopen and a killed writer, paging
// per tab, the word search, retention and the size cap, and a damaged file.
#include "history/history_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "history/writer_thread.h"
#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

constexpr std::int64_t kDayMs = 86400000;
constexpr std::int64_t kNow = 1800000000000;

class HistoryStoreTest : public ::testing::Test {
  protected:
    std::string path() const { return dir.file(HistoryStore::kFileName); }
    bool open(HistoryStore& store) {
        return store.open(path(), [this](const std::u16string& line) { reports.push_back(line); });
    }
    // The first column of the first row of `sql` on a connection of the test's own.
    std::string ask(const char* sql) const {
        sqlite3* db = nullptr;
        sqlite3_open(path().c_str(), &db);
        std::string answer = "<error>";
        sqlite3_exec(
            db, sql,
            [](void* out, int, char** values, char**) {
                *static_cast<std::string*>(out) = values[0] ? values[0] : "";
                return 0;
            },
            &answer, nullptr);
        sqlite3_close(db);
        return answer;
    }

    test::TempDir dir;
    std::vector<std::u16string> reports;
};

std::vector<std::u16string> textsOf(const std::vector<StoredLine>& lines) {
    std::vector<std::u16string> texts;
    for (const StoredLine& line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

TEST_F(HistoryStoreTest, LinesSurviveReopenWithEveryField) {
    const std::u16string text = u"caf\u00e9 \U0001F600 lone \xD800 end";
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const std::int64_t first = store.add(u"Libera", u"#Kolu", kNow, 0x123456, u"zoe", text);
    const std::int64_t second = store.add(u"Libera", u"#kolu", kNow + 5, 7, u"", u"two");
    EXPECT_EQ(store.queued(), 2u);
    store.close();
    EXPECT_EQ(store.add(u"Libera", u"#kolu", kNow, 0, u"", u"closed"), 0);

    ASSERT_TRUE(open(store));
    const std::vector<StoredLine> lines = store.lastLines(u"Libera", u"#KOLU", 10);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].id, first);
    EXPECT_EQ(lines[0].network, u"Libera");
    EXPECT_EQ(lines[0].tab, u"#Kolu");
    EXPECT_EQ(lines[0].timeMs, kNow);
    EXPECT_EQ(lines[0].colour, 0x123456u);
    EXPECT_EQ(lines[0].sender, u"zoe");
    EXPECT_EQ(lines[0].text, u"caf\u00e9 \U0001F600 lone \uFFFD end");
    EXPECT_EQ(lines[1].id, second);
    EXPECT_EQ(lines[1].tab, u"#kolu");
    EXPECT_GT(store.add(u"Libera", u"#kolu", kNow, 0, u"", u"three"), second);
    EXPECT_TRUE(reports.empty());
}

TEST_F(HistoryStoreTest, PagingStaysInOneTabOfOneNetwork) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 10; ++i) {
        const std::u16string n = decimalText(i);
        ids.push_back(store.add(u"A", i % 2 ? u"#Chan" : u"#chan", kNow, 0, u"x", u"a" + n));
        store.add(u"A", u"#other", kNow, 0, u"x", u"other" + n);
        store.add(u"B", u"#chan", kNow, 0, u"x", u"b" + n);
    }
    using Texts = std::vector<std::u16string>;
    EXPECT_EQ(textsOf(store.lastLines(u"A", u"#CHAN", 3)), (Texts{u"a7", u"a8", u"a9"}));
    EXPECT_EQ(textsOf(store.linesBefore(u"A", u"#chan", ids[7], 2)), (Texts{u"a5", u"a6"}));
    EXPECT_EQ(textsOf(store.linesAfter(u"A", u"#chan", ids[2], 2)), (Texts{u"a3", u"a4"}));
    EXPECT_TRUE(store.linesBefore(u"A", u"#chan", ids[0], 5).empty());
    EXPECT_EQ(textsOf(store.linesAfter(u"A", u"#chan", ids[8], 5)), (Texts{u"a9"}));
    EXPECT_EQ(textsOf(store.lastLines(u"B", u"#chan", 1)), (Texts{u"b9"}));
    EXPECT_TRUE(store.lastLines(u"b", u"#chan", 1).empty());
    EXPECT_EQ(store.line(ids[4])->text, u"a4");
}

TEST_F(HistoryStoreTest, SearchFoldsCaseAndAccentsNewestFirst) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const std::int64_t old = store.add(u"A", u"#a", kNow, 0, u"x", u"hello Zo\u00eb there");
    const std::int64_t mid = store.add(u"A", u"#b", kNow, 0, u"x", u"ZOE shouts");
    store.add(u"B", u"#a", kNow, 0, u"x", u"zoey and zo are other words");
    const std::int64_t both = store.add(u"B", u"#c", kNow, 0, u"x", u"zoe hello");
    auto ids = [](const std::vector<StoredLine>& lines) {
        std::vector<std::int64_t> out;
        for (const StoredLine& line : lines) {
            out.push_back(line.id);
        }
        return out;
    };
    using Ids = std::vector<std::int64_t>;
    EXPECT_EQ(ids(store.search(u"zoe", 10)), (Ids{both, mid, old}));
    EXPECT_EQ(ids(store.search(u"Zo\u00cb", 2)), (Ids{both, mid}));
    EXPECT_EQ(ids(store.search(u"  HELLO\tzoe ", 10)), (Ids{both, old}));
    EXPECT_EQ(ids(HistoryStore::searchFile(path(), u"zoe", 10)), (Ids{both, mid, old}));
}

TEST_F(HistoryStoreTest, SearchReadsTheQueryAsPlainWords) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    store.add(u"A", u"#a", kNow, 0, u"x", u"just a");
    store.add(u"A", u"#a", kNow, 0, u"x", u"bee");
    const std::int64_t literal = store.add(u"A", u"#a", kNow, 0, u"x", u"\"a\" or b");
    const std::int64_t near = store.add(u"A", u"#a", kNow, 0, u"x", u"near (here)");
    for (const char16_t* query : {u"\"a\" OR b*", u"a or \"b\""}) {
        const std::vector<StoredLine> found = store.search(query, 10);
        ASSERT_EQ(found.size(), 1u) << toUtf8(query);
        EXPECT_EQ(found[0].id, literal);
    }
    ASSERT_EQ(store.search(u"NEAR(", 10).size(), 1u);
    EXPECT_EQ(store.search(u"NEAR(", 10)[0].id, near);
    EXPECT_EQ(store.search(u"b*", 10).size(), 1u);  // "b" alone, not every word from b
    EXPECT_EQ(store.search(u"JUST-a", 10).size(), 1u);  // two words, not a phrase
    for (const char16_t* nothing : {u"", u"   ", u"...", u"\"", u"*", u"(-)"}) {
        EXPECT_TRUE(store.search(nothing, 10).empty()) << toUtf8(nothing);
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(HistoryStoreTest, FormattingCodesDontHideWords) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const std::u16string text = u"\x02go\x02ld \x03" u"4,12red\x03 \x03" u"5blue \x1Fun\x1F" u"der"
                                u" \x04" u"FF00AAhex \x1Dit\x0F";
    store.add(u"A", u"#a", kNow, 0, u"x", text);
    for (const char16_t* word : {u"gold", u"red", u"blue", u"under", u"hex", u"it"}) {
        EXPECT_EQ(store.search(word, 10).size(), 1u) << toUtf8(word);
    }
    EXPECT_EQ(store.lastLines(u"A", u"#a", 1)[0].text, text);  // kept as shown
}

TEST_F(HistoryStoreTest, AReadSeesLinesJustAddedAndABurstPastTheBacklogIsKeptInOrder) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const std::int64_t id = store.add(u"A", u"#a", kNow, 0, u"x", u"just now");
    EXPECT_EQ(store.line(id)->text, u"just now");  // no flush asked for
    const int burst = 3 * static_cast<int>(history::WriterThread::kMaxBacklog);
    for (int i = 0; i < burst; ++i) {
        store.add(u"A", u"#b", kNow, 0, u"x", decimalText(i));
        if (store.queued() >= HistoryStore::kFlushLines) {
            store.flush();
        }
    }
    const std::vector<StoredLine> lines = store.lastLines(u"A", u"#b", burst + 1);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(burst));
    for (int i = 0; i < burst; ++i) {
        ASSERT_EQ(lines[i].text, decimalText(i));
    }
}

// The writer thread waits out the busy time against another program's lock, then fails.
TEST_F(HistoryStoreTest, AFailedWriteIsReportedOnceOnTheOwnersThreadAndStopsTheWrites) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    sqlite3* other = nullptr;
    sqlite3_open(path().c_str(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    store.add(u"A", u"#a", kNow, 0, u"x", u"held up");
    store.flush();
    store.waitWritten();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(u"locked"), std::u16string::npos) << toUtf8(reports[0]);
    EXPECT_EQ(store.add(u"A", u"#a", kNow, 0, u"x", u"after"), 0);
    EXPECT_EQ(store.storedCount(), 0);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(HistoryStoreTest, RetentionRemovesOnlyOlderLines) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    // A second apart, in time order as the client adds them; the 4001st is at the cut.
    for (int i = 0; i < 12000; ++i) {
        store.add(u"A", u"#a", kNow - 30 * kDayMs + (i - 4000) * 1000, 0, u"x",
                  i < 4000 ? u"old" : u"new");
    }
    int slices = 1;
    while (store.pruneSlice(kNow, 30, 0)) {
        ++slices;
    }
    EXPECT_EQ(slices, 1);  // 4000 rows: one slice
    EXPECT_EQ(store.storedCount(), 8000);
    EXPECT_TRUE(store.search(u"old", 10).empty());
    EXPECT_EQ(store.search(u"new", 9000).size(), 8000u);
    EXPECT_FALSE(store.pruneSlice(kNow, 0, 0));
    EXPECT_EQ(store.storedCount(), 8000);
}

// The rows of a burst reach the word index after it (pruned at once, half of
// them leave before they do); ids go on past the index's mark after a clear.
TEST_F(HistoryStoreTest, ABurstIsFoundOnceIndexedAndRowsPrunedBeforeThatLeaveTheIndexWhole) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const int burst = 4 * history::WriterThread::kIndexChunk;
    std::int64_t last = 0;
    for (int i = 0; i < burst; ++i) {
        last = store.add(u"A", u"#a", i < burst / 2 ? kNow - 40 * kDayMs : kNow, 0, u"x",
                         i + 1 == burst ? u"hay needle" : u"hay");
        if (store.queued() >= HistoryStore::kFlushLines) {
            store.flush();
        }
    }
    EXPECT_FALSE(store.pruneSlice(kNow, 30, 0));
    EXPECT_EQ(store.search(u"hay", burst).size(), static_cast<std::size_t>(burst / 2));
    ASSERT_EQ(store.search(u"needle", 10).size(), 1u);
    store.clear();
    store.close();
    sqlite3* db = nullptr;
    sqlite3_open(path().c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO lines_fts(lines_fts, rank) VALUES('integrity-check', 0)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
    ASSERT_TRUE(open(store));
    EXPECT_GT(store.add(u"A", u"#a", kNow, 0, u"x", u"hay"), last);
    EXPECT_EQ(store.search(u"hay", 10).size(), 1u);
}

TEST_F(HistoryStoreTest, SizeCapRemovesTheOldestUntilUnder) {
    HistoryStore store;
    ASSERT_TRUE(open(store));
    std::int64_t last = 0;
    for (int i = 0; i < 30000; ++i) {
        last = store.add(u"A", u"#a", kNow, 0, u"x", u"word number " + decimalText(i) + u" of a line");
    }
    store.waitIndexed();  // the file at its full size
    const char* used = "SELECT (page_count - freelist_count) * page_size"
                       " FROM pragma_page_count(), pragma_freelist_count(), pragma_page_size()";
    const std::int64_t cap = std::stoll(ask(used)) / 2;
    for (int slice = 0; store.pruneSlice(kNow, 0, cap); ++slice) {
        ASSERT_LT(slice, 100);
    }
    EXPECT_LE(std::stoll(ask(used)), cap);
    const std::int64_t kept = store.storedCount();
    EXPECT_GT(kept, 10000);  // not far more than the excess
    EXPECT_LT(kept, 30000);
    EXPECT_EQ(store.lastLines(u"A", u"#a", 1)[0].id, last);
    EXPECT_EQ(ask("SELECT count(*) FROM lines_fts WHERE lines_fts MATCH 'word'"),
              std::to_string(kept));

    store.clear();
    EXPECT_EQ(store.storedCount(), 0);
    EXPECT_EQ(ask("SELECT count(*) FROM lines_fts WHERE lines_fts MATCH 'word'"), "0");
}

TEST_F(HistoryStoreTest, UnreadableFilesAreMovedAside) {
    const std::string junk(5000, 'j');
    std::ofstream(path(), std::ios::binary) << junk;
    HistoryStore store;
    ASSERT_TRUE(open(store));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(fromUtf8(path() + ".bad")), std::u16string::npos) << toUtf8(reports[0]);
    EXPECT_EQ(dir.read("history.sqlite.bad"), junk);
    store.add(u"A", u"#a", kNow, 0, u"x", u"fresh");
    EXPECT_EQ(store.lastLines(u"A", u"#a", 5).size(), 1u);
    store.close();

    ask("PRAGMA user_version = 99");  // a newer Kolu's file
    ASSERT_TRUE(open(store));
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(store.storedCount(), 0);
    EXPECT_EQ(dir.read("history.sqlite.bad").substr(0, 15), "SQLite format 3");
}

TEST_F(HistoryStoreTest, AFirstVersionFileIsCarriedOverWithItsTabsAndWords) {
    sqlite3* db = nullptr;
    sqlite3_open(path().c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE lines(id INTEGER PRIMARY KEY, network TEXT NOT NULL,"
                           " tab TEXT NOT NULL, tab_key TEXT NOT NULL, time_ms INTEGER NOT NULL,"
                           " colour INTEGER NOT NULL, sender TEXT NOT NULL, text TEXT NOT NULL);"
                           "CREATE INDEX lines_tab ON lines(network, tab_key, id);"
                           "CREATE INDEX lines_time ON lines(time_ms);"
                           "CREATE VIRTUAL TABLE lines_fts USING fts5(text, content='',"
                           " tokenize=\"unicode61 remove_diacritics 2\", columnsize=0);"
                           "INSERT INTO lines VALUES(3, 'A', '#Kolu', '#kolu', 5, 6, 'zoe', 'one'),"
                           " (8, 'A', '#kolu', '#kolu', 7, 8, '', char(2) || 'bold' || char(2)),"
                           " (9, 'B', '#kolu', '#kolu', 9, 10, '', 'other');"
                           "PRAGMA user_version = 1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    HistoryStore store;
    ASSERT_TRUE(open(store));
    const std::vector<StoredLine> lines = store.lastLines(u"A", u"#KOLU", 5);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].id, 3);
    EXPECT_EQ(lines[0].tab, u"#Kolu");
    EXPECT_EQ(lines[0].sender, u"zoe");
    EXPECT_EQ(lines[0].timeMs, 5);
    EXPECT_EQ(lines[0].colour, 6u);
    EXPECT_EQ(lines[1].tab, u"#kolu");
    ASSERT_EQ(store.search(u"bold", 5).size(), 1u);  // indexed anew, codes left out
    EXPECT_EQ(store.search(u"bold", 5)[0].id, 8);
    EXPECT_EQ(store.lastLines(u"B", u"#kolu", 5).at(0).text, u"other");
    EXPECT_EQ(store.add(u"A", u"#kolu", 11, 0, u"", u"new"), 10);
    EXPECT_EQ(ask("PRAGMA user_version"), "2");
    EXPECT_TRUE(reports.empty());
}

TEST_F(HistoryStoreTest, KilledWriterKeepsEveryCommittedLine) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        HistoryStore store;
        if (!store.open(path(), {})) {
            _exit(1);
        }
        for (std::int64_t n = 1; n <= 10000000; ++n) {
            store.add(u"A", u"#flood", n, 0, u"x", u"line " + decimalText(n));
            if (n % 100 == 0) {
                store.flush();
                store.waitWritten();  // told only once committed
                (void)!write(pipeEnds[1], &n, sizeof n);
            }
        }
        _exit(0);
    }
    ::close(pipeEnds[1]);
    std::int64_t committed = 0;
    std::int64_t n = 0;
    while (committed < 5000 && read(pipeEnds[0], &n, sizeof n) == sizeof n) {
        committed = n;
    }
    kill(child, SIGKILL);
    while (read(pipeEnds[0], &n, sizeof n) == sizeof n) {  // what was sent before the kill
        committed = n;
    }
    waitpid(child, nullptr, 0);
    ::close(pipeEnds[0]);
    ASSERT_GE(committed, 5000);

    HistoryStore store;
    ASSERT_TRUE(open(store));
    EXPECT_TRUE(reports.empty());
    const std::vector<StoredLine> lines = store.lastLines(u"A", u"#flood", 20000000);
    ASSERT_GE(lines.size(), static_cast<std::size_t>(committed));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].text, u"line " + decimalText(static_cast<long long>(i + 1)));
    }
    EXPECT_EQ(ask("PRAGMA integrity_check"), "ok");
}

}  // namespace
}  // namespace kolu
