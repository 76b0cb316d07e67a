#pragma once
// File access with the open modes the client uses. Every operation reports a
// failure as an error code (errno values; 0 is success) the error log can print.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

enum class OpenMode {
    OpenAlways,    // read/write, created when missing
    CreateAlways,  // read/write, created or truncated
    OpenExisting,  // read/write, fails when missing
    ReadOnly,      // read, fails when missing
};

// One open file, closed by the destructor (every file is opened for one operation).
class File {
  public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Returns 0 and an open file, or an error code. New files get `createMode`.
    static int open(const std::string& path, OpenMode mode, File& out, unsigned createMode = 0644);

    bool isOpen() const { return m_fd >= 0; }
    int read(void* data, std::size_t size, std::size_t& got);  // got < size only at the end
    // Appends the rest of the file to `out`, a chunk at a time. `enough`, when given,
    // sees all read so far after each chunk and may stop the read early. 0 or an
    // error code (`out` then holds what was read before it).
    int readRest(std::string& out, const std::function<bool(std::string_view)>& enough = {});
    int write(const void* data, std::size_t size);  // all or an error
    int seek(std::int64_t offset, int whence, std::int64_t* position = nullptr);
    int seekToEnd() { return seek(0, 2); }
    int size(std::int64_t& out) const;
    int sync();
    int close();

  private:
    int m_fd = -1;
};

// Reads a whole file into `out`; a file of more than `limit` bytes is EFBIG.
int readWholeFile(const std::string& path, std::string& out, std::size_t limit = SIZE_MAX);

// Writes the whole file or leaves the old one: temporary file, fsync, rename.
int writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644);

// A new file written whole and synced beside its target, replacing the target
// only on commit(); dropped or discarded before that, it leaves the old file as
// it was. Lets a caller replace several files together: stage each, then commit.
class StagedFile {
  public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Writes `bytes` to a temporary file beside `path` (mode `mode`). 0 or an error code.
    int stage(const std::string& path, std::string_view bytes, unsigned mode = 0644);
    // Renames the staged file over its target. 0 or an error code.
    int commit();
    void discard();

  private:
    std::string m_staged;
    std::string m_target;
};

// The process id a temporary file's name carries: the digits of `name` after
// `prefix` and before `suffix`; 0 when the name has another form.
long writerFromName(std::string_view name, std::string_view prefix, std::string_view suffix);
// The writer of a writeFileAtomically or StagedFile temporary (0 for other names).
long atomicWriterOf(std::string_view name);
// Removes the temporary files writers killed mid-way left in `folder`: those
// `writerOf` finds a process id in whose process is gone. A running writer's
// file and every other file stay. Answers how many went.
int removeStaleTemporaries(const std::string& folder,
                           const std::function<long(std::string_view)>& writerOf);

// Copies a file over `to` (overwriting unless failIfExists).
int copyFile(const std::string& from, const std::string& to, bool failIfExists = false);

bool fileExists(const std::string& path);

// The folder part of a file path ("." when it has none).
std::string folderOf(const std::string& path);

// Creates the folder and its parents (mode 0700 for new ones).
int makeFolders(const std::string& path);

// Names of the regular files in `folder` matching `pattern` ("*.wav"; '*' and '?'
// wildcards, case-insensitive as on the handheld), in the order the file system
// lists them. Returns ENOENT when none matches.
int listFolder(const std::string& folder, std::string_view pattern,
               std::vector<std::string>& names);

}  // namespace kolu
