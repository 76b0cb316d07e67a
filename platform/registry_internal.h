#pragma once
// The settings store's file handling, shared by the store and its tests: the file's
// identity stamp (to notice changes), keeping an unparsable file aside, and the
// commit that replaces the file whole. Not for use outside platform/registry*.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kolu::registry_detail {

// Largest value accepted by setValue and by the file parser, so whatever the store
// holds can always be written and read back.
constexpr std::uint32_t kMaxValueBytes = 1u << 20;

// What stat says about the file; any difference means it was replaced or edited.
struct FileStamp {
    int error = 0;  // 0 when the file exists, else stat's errno (ENOENT: missing)
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtimeNs = 0, ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& path);

// Renames an unparsable file to path + ".bad" (or ".bad.1", ".bad.2", ... when
// taken). Returns 0 and the new name, or an errno value.
int keepAside(const std::string& path, std::string& keptAs);

// Replaces `path` whole with `bytes` (mode 0600), making its folder first. Returns
// 0 or an errno value; on failure `path` is untouched.
int commitFile(const std::string& path, std::string_view bytes);

// Removes what writers killed mid-way left beside `path` (their processes gone).
void removeStaleTemporaries(const std::string& path);

// The registry result code for an errno value from a failed commit.
long resultFromErrno(int error);

}  // namespace kolu::registry_detail
