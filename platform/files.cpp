#include "platform/files.h"
#include "platform/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <utility>

namespace kolu {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
// Temporary files are ".kolu-<pid>-<counter>.tmp": hidden, and telling which
// process wrote them so a left-over of a killed one can be found.
constexpr std::string_view kTempPrefix = ".kolu-";
constexpr std::string_view kTempSuffix = ".tmp";

// The number `digits` spells; nothing when it is empty, too long or not all digits.
std::optional<long> numberOf(std::string_view digits) {
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::stol(std::string(digits));
}

int lastError() {
    return errno != 0 ? errno : EIO;
}

// Linux closes the descriptor even when close reports EINTR, so that is no failure.
int closeFd(int fd) {
    return (::close(fd) == 0 || errno == EINTR) ? 0 : lastError();
}

int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (n == 0) {
            return EIO;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Makes a finished rename durable. Best effort: the new file is already in place,
// and some file systems refuse fsync on a folder.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A uniquely named file beside the target that becomes the target on commit(),
// or is removed when dropped, so readers only ever see the old or the new file.
class TempFile {
  public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_path.empty()) {
            ::unlink(m_path.c_str());
        }
    }

    // New files get `mode` less the umask, as open(2) gives them.
    int create(const std::string& target, unsigned mode) {
        static std::atomic<unsigned> counter{0};
        if (target.empty() || target.back() == '/') {
            return target.empty() ? ENOENT : EISDIR;
        }
        const std::string prefix =
            folderOf(target) + "/" + std::string(kTempPrefix) + std::to_string(::getpid()) + "-";
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = prefix + std::to_string(counter++) + std::string(kTempSuffix);
            m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
            if (m_fd >= 0) {
                m_path = std::move(path);
                return 0;
            }
            if (errno != EEXIST && errno != EINTR) {
                return lastError();
            }
        }
        return EEXIST;
    }

    int write(const void* data, std::size_t size) {
        return writeAll(m_fd, static_cast<const char*>(data), size);
    }

    // fsync and close: the bytes are on disk under the temporary name.
    int finish() {
        if (::fsync(m_fd) != 0) {
            return lastError();
        }
        const int fd = m_fd;
        m_fd = -1;
        return closeFd(fd);
    }

    // The finished file's name, which the caller now owns.
    std::string release() { return std::exchange(m_path, std::string()); }

    // finish() and rename over `target` (never over an existing file with noReplace).
    int commit(const std::string& target, bool noReplace) {
        if (const int rc = finish()) {
            return rc;
        }
        if (const int rc = noReplace ? renameNoReplace(target) : renameOver(target)) {
            return rc;
        }
        m_path.clear();
        syncFolder(folderOf(target));
        return 0;
    }

  private:
    int renameOver(const std::string& target) {
        return ::rename(m_path.c_str(), target.c_str()) == 0 ? 0 : lastError();
    }

    int renameNoReplace(const std::string& target) {
        if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) ==
            0) {
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return lastError();
        }
        // The file system can't rename without replacing: check, then rename.
        struct stat st {};
        if (::lstat(target.c_str(), &st) == 0) {
            return EEXIST;
        }
        return renameOver(target);
    }

    std::string m_path;
    int m_fd = -1;
};

}  // namespace

File::~File() {
    close();
}

File::File(File&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

int File::open(const std::string& path, OpenMode mode, File& out, unsigned createMode) {
    out.close();
    // O_NONBLOCK only so that opening a FIFO can't hang; it is cleared below.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
        case OpenMode::OpenAlways:
            flags |= O_RDWR | O_CREAT;
            break;
        case OpenMode::CreateAlways:
            flags |= O_RDWR | O_CREAT | O_TRUNC;
            break;
        case OpenMode::OpenExisting:
            flags |= O_RDWR;
            break;
        case OpenMode::ReadOnly:
            flags |= O_RDONLY;
            break;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags, createMode & 07777);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return lastError();
    }
    struct stat st {};
    int rc = ::fstat(fd, &st) != 0 ? lastError() : 0;
    if (rc == 0 && !S_ISREG(st.st_mode)) {
        rc = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;  // only regular files hold our data
    }
    if (rc == 0) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
            rc = lastError();
        }
    }
    if (rc != 0) {
        ::close(fd);
        return rc;
    }
    out.m_fd = fd;
    return 0;
}

int File::read(void* data, std::size_t size, std::size_t& got) {
    got = 0;
    if (m_fd < 0) {
        return EBADF;
    }
    auto* bytes = static_cast<char*>(data);
    while (got < size) {
        const ssize_t n = ::read(m_fd, bytes + got, size - got);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return 0;
}

int File::readRest(std::string& out, const std::function<bool(std::string_view)>& enough) {
    std::size_t got = 0;
    do {
        const std::size_t used = out.size();
        out.resize(used + kChunk);
        const int rc = read(out.data() + used, kChunk, got);
        out.resize(used + got);
        if (rc != 0) {
            return rc;
        }
    } while (got == kChunk && !(enough && enough(out)));
    return 0;
}

int File::write(const void* data, std::size_t size) {
    if (m_fd < 0) {
        return EBADF;
    }
    return writeAll(m_fd, static_cast<const char*>(data), size);
}

int File::seek(std::int64_t offset, int whence, std::int64_t* position) {
    if (m_fd < 0) {
        return EBADF;
    }
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (whence < 0 || whence > 2) {
        return EINVAL;
    }
    const off_t at = ::lseek(m_fd, static_cast<off_t>(offset), kWhence[whence]);
    if (at < 0) {
        return lastError();
    }
    if (position) {
        *position = at;
    }
    return 0;
}

int File::size(std::int64_t& out) const {
    struct stat st {};
    if (m_fd < 0) {
        return EBADF;
    }
    if (::fstat(m_fd, &st) != 0) {
        return lastError();
    }
    out = st.st_size;
    return 0;
}

int File::sync() {
    if (m_fd < 0) {
        return EBADF;
    }
    return ::fsync(m_fd) == 0 ? 0 : lastError();
}

int File::close() {
    if (m_fd < 0) {
        return 0;
    }
    const int fd = m_fd;
    m_fd = -1;
    return closeFd(fd);
}

int readWholeFile(const std::string& path, std::string& out, std::size_t limit) {
    File file;
    if (const int rc = File::open(path, OpenMode::ReadOnly, file)) {
        return rc;
    }
    std::string data;
    if (const int rc =
            file.readRest(data, [limit](std::string_view read) { return read.size() > limit; })) {
        return rc;
    }
    if (data.size() > limit) {
        return EFBIG;
    }
    out = std::move(data);
    return 0;
}

int writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    StagedFile staged;
    if (const int rc = staged.stage(path, bytes, mode)) {
        return rc;
    }
    return staged.commit();
}

StagedFile::~StagedFile() {
    discard();
}

int StagedFile::stage(const std::string& path, std::string_view bytes, unsigned mode) {
    discard();
    TempFile temp;
    if (const int rc = temp.create(path, mode)) {
        return rc;
    }
    if (const int rc = temp.write(bytes.data(), bytes.size())) {
        return rc;
    }
    if (const int rc = temp.finish()) {
        return rc;
    }
    m_staged = temp.release();
    m_target = path;
    return 0;
}

int StagedFile::commit() {
    if (m_staged.empty()) {
        return ENOENT;
    }
    if (::rename(m_staged.c_str(), m_target.c_str()) != 0) {
        return lastError();
    }
    m_staged.clear();
    syncFolder(folderOf(m_target));
    return 0;
}

void StagedFile::discard() {
    if (!m_staged.empty()) {
        ::unlink(m_staged.c_str());
        m_staged.clear();
    }
}

int copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    struct stat st {};
    if (failIfExists && ::lstat(to.c_str(), &st) == 0) {
        return EEXIST;
    }
    File source;
    if (const int rc = File::open(from, OpenMode::ReadOnly, source)) {
        return rc;
    }
    if (::stat(from.c_str(), &st) != 0) {
        return lastError();
    }
    TempFile temp;
    if (const int rc = temp.create(to, st.st_mode & 0777)) {  // the copy keeps the permissions
        return rc;
    }
    std::string chunk(kChunk, '\0');
    std::size_t got = 0;
    do {
        if (const int rc = source.read(chunk.data(), chunk.size(), got)) {
            return rc;
        }
        if (const int rc = temp.write(chunk.data(), got)) {
            return rc;
        }
    } while (got == chunk.size());
    return temp.commit(to, failIfExists);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int makeFolders(const std::string& path) {
    if (path.empty()) {
        return ENOENT;
    }
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') {
            continue;
        }
        if (path[i - 1] == '/') {
            continue;  // "//" or a trailing '/'
        }
        const std::string prefix = path.substr(0, i);
        if (::mkdir(prefix.c_str(), 0700) == 0) {
            continue;
        }
        const int rc = lastError();
        struct stat st {};
        if (::stat(prefix.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) {
                return ENOTDIR;
            }
            continue;  // already there (EEXIST, or EACCES on a folder we may not write)
        }
        return rc;
    }
    return 0;
}

int listFolder(const std::string& folder, std::string_view pattern,
               std::vector<std::string>& names) {
    names.clear();
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return lastError();
    }
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!wildcardMatch(pattern, name)) {
            continue;
        }
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st {};
            regular = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular) {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    return names.empty() ? ENOENT : 0;
}

long writerFromName(std::string_view name, std::string_view prefix, std::string_view suffix) {
    if (name.size() < prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix)) {
        return 0;
    }
    return numberOf(name.substr(prefix.size(), name.size() - prefix.size() - suffix.size()))
        .value_or(0);
}

long atomicWriterOf(std::string_view name) {
    // "<prefix><pid>-<counter><suffix>"
    if (name.size() < kTempPrefix.size() + kTempSuffix.size() || !name.starts_with(kTempPrefix) ||
        !name.ends_with(kTempSuffix)) {
        return 0;
    }
    const std::string_view middle =
        name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
    const std::size_t dash = middle.find('-');
    if (dash == std::string_view::npos || !numberOf(middle.substr(dash + 1))) {
        return 0;
    }
    return numberOf(middle.substr(0, dash)).value_or(0);
}

int removeStaleTemporaries(const std::string& folder,
                           const std::function<long(std::string_view)>& writerOf) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = writerOf(entry->d_name);
        // kill(pid, 0) fails with ESRCH only when no such process exists.
        if (pid > 0 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 &&
            errno == ESRCH) {
            removed += ::unlink((folder + "/" + entry->d_name).c_str()) == 0 ? 1 : 0;
        }
    }
    ::closedir(dir);
    return removed;
}

}  // namespace kolu
