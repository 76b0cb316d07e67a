#include "completion/dict_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace kolu {
namespace {

constexpr int kSeekSet = 0;

bool fitsOffset(std::uint64_t offset) {
    return offset <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
}

}  // namespace

int FileDictStore::size(std::uint64_t& out) {
    std::int64_t size = 0;
    if (const int rc = m_file.size(size)) {
        return rc;
    }
    out = static_cast<std::uint64_t>(size);
    return 0;
}

int FileDictStore::readAt(std::uint64_t offset, void* data, std::size_t length, std::size_t& got) {
    got = 0;
    if (!fitsOffset(offset)) {
        return EINVAL;
    }
    if (const int rc = m_file.seek(static_cast<std::int64_t>(offset), kSeekSet)) {
        return rc;
    }
    return m_file.read(data, length, got);
}

int FileDictStore::writeAt(std::uint64_t offset, const void* data, std::size_t length) {
    if (!fitsOffset(offset)) {
        return EINVAL;
    }
    if (const int rc = m_file.seek(static_cast<std::int64_t>(offset), kSeekSet)) {
        return rc;
    }
    return m_file.write(data, length);
}

int MemoryDictStore::size(std::uint64_t& out) {
    out = m_bytes.size();
    return 0;
}

int MemoryDictStore::readAt(std::uint64_t offset, void* data, std::size_t length,
                            std::size_t& got) {
    got = 0;
    if (offset < m_bytes.size()) {
        got = std::min<std::uint64_t>(length, m_bytes.size() - offset);
        std::memcpy(data, m_bytes.data() + offset, got);
    }
    return 0;
}

int MemoryDictStore::writeAt(std::uint64_t offset, const void* data, std::size_t length) {
    if (offset > m_bytes.max_size() - length) {
        return EFBIG;
    }
    if (m_bytes.size() < offset + length) {
        m_bytes.resize(offset + length, '\0');
    }
    std::memcpy(m_bytes.data() + offset, data, length);
    return 0;
}

}  // namespace kolu
