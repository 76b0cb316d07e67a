// The settings store's file on disk: noticing changes, keeping an unparsable file
// aside, and replacing the file whole (writeFileAtomically) so a crash or a full
// disk never leaves half a store behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/registry_internal.h"

namespace kolu::registry_detail {

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

void removeStaleTemporaries(const std::string& path) {
    kolu::removeStaleTemporaries(folderOf(path), atomicWriterOf);
}

int commitFile(const std::string& path, std::string_view bytes) {
    if (const int error = makeFolders(folderOf(path))) {
        return error;
    }
    return writeFileAtomically(path, bytes, 0600);
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
