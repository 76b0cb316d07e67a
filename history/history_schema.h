#pragma once
// The history file's layout and its versions: user_version carries the version,
// a new file is given the current layout and each older version has one upgrade
// to the next, so an older file is brought up to date where it is opened.
#include <string>

struct sqlite3;

namespace kolu::history {

inline constexpr int kSchemaVersion = 2;

// Makes a new file's tables or brings an older file's up to kSchemaVersion, in one
// transaction. False, with the reason in `why`, for a file of a newer version
// than this one knows or when a step fails.
bool migrate(sqlite3* db, std::u16string& why);

// Renames the file to path + ".bad", and its -wal and -shm files with it, each
// replacing one left by an earlier move (a stale -wal or -shm of that is
// removed, so it is never read with the wrong file). 0 or the errno.
int moveAside(const std::string& path);

}  // namespace kolu::history
