// The settings store's file on disk: noticing changes, keeping an unparsable file
// aside, and replacing the file whole (temporary file, fsync, rename) so a crash or
// a full disk never leaves half a store behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/registry_internal.h"

namespace kolu::registry_detail {

int (*g_afterPartialWrite)(std::size_t bytesWritten) = nullptr;

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable; a file system that can't sync folders is no error.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

int writeTemporary(const std::string& temporary, std::string_view bytes) {
    File file;
    int error = File::open(temporary, OpenMode::CreateAlways, file, 0600);
    if (error != 0) {
        return error;
    }
    // Written in two parts so a test can stop the commit between them.
    const std::size_t half = bytes.size() / 2;
    error = file.write(bytes.data(), half);
    if (error == 0 && g_afterPartialWrite) {
        error = g_afterPartialWrite(half);
    }
    if (error == 0) {
        error = file.write(bytes.data() + half, bytes.size() - half);
    }
    if (error == 0) {
        error = file.sync();
    }
    const int closeError = file.close();
    return error != 0 ? error : closeError;
}

}  // namespace

FileStamp stampOf(const std::string& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        stamp.error = errno;
        return stamp;
    }
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = static_cast<std::uint64_t>(info.st_size);
    stamp.mtimeNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.ctimeNs =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

int keepAside(const std::string& path, std::string& keptAs) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = path + ".bad";
        if (attempt > 0) {
            candidate += '.';
            candidate += std::to_string(attempt);
        }
        struct stat info {};
        if (::lstat(candidate.c_str(), &info) == 0) {
            continue;  // an older kept file: never overwrite it
        }
        if (errno != ENOENT) {
            return errno;
        }
        if (::rename(path.c_str(), candidate.c_str()) != 0) {
            return errno;
        }
        keptAs = candidate;
        return 0;
    }
    return EEXIST;
}

namespace {
constexpr std::string_view kTemporarySuffix = ".tmp-";
}  // namespace

void removeStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string prefix =
        std::string(slash == std::string::npos ? path : path.substr(slash + 1)) +
        std::string(kTemporarySuffix);
    kolu::removeStaleTemporaries(folderOf(path), [&prefix](std::string_view name) {
        return writerFromName(name, prefix, "");
    });
}

int commitFile(const std::string& path, std::string_view bytes) {
    const std::string folder = folderOf(path);
    int error = makeFolders(folder);
    if (error != 0) {
        return error;
    }
    // Named per process so two writers never share a temporary file.
    const std::string temporary = path + std::string(kTemporarySuffix) + std::to_string(::getpid());
    ::unlink(temporary.c_str());  // a left-over from a crash may have another mode
    error = writeTemporary(temporary, bytes);
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolder(folder);
    return 0;
}

long resultFromErrno(int error) {
    switch (error) {
        case 0:
            return kErrorSuccess;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kErrorDiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOMEM:
            return kErrorOutOfMemory;
        default:
            return kErrorWriteFault;
    }
}

}  // namespace kolu::registry_detail
