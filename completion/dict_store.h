#pragma once
// Byte access to dict.dat for the length of one operation: its size, and reads
// and writes at a given offset. The file-backed store works on a file opened by
// the operation; the memory-backed one lets tests, benchmarks and the fuzzer run
// the very same walks over bytes held in memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace kolu {

class DictStore {
  public:
    virtual ~DictStore() = default;
    // Each returns 0 or an error code (errno values).
    virtual int size(std::uint64_t& out) = 0;
    // `got` < `length` only at the end of the file.
    virtual int readAt(std::uint64_t offset, void* data, std::size_t length, std::size_t& got) = 0;
    // Writes all bytes; a write past the end extends the file.
    virtual int writeAt(std::uint64_t offset, const void* data, std::size_t length) = 0;
};

// dict.dat opened by the caller; the store never opens or closes it.
class FileDictStore final : public DictStore {
  public:
    explicit FileDictStore(File& file) : m_file(file) {}
    int size(std::uint64_t& out) override;
    int readAt(std::uint64_t offset, void* data, std::size_t length, std::size_t& got) override;
    int writeAt(std::uint64_t offset, const void* data, std::size_t length) override;

  private:
    File& m_file;
};

// The file's bytes in a string owned by the caller.
class MemoryDictStore final : public DictStore {
  public:
    explicit MemoryDictStore(std::string& bytes) : m_bytes(bytes) {}
    int size(std::uint64_t& out) override;
    int readAt(std::uint64_t offset, void* data, std::size_t length, std::size_t& got) override;
    int writeAt(std::uint64_t offset, const void* data, std::size_t length) override;

  private:
    std::string& m_bytes;
};

}  // namespace kolu
