#pragma once
// Reads records of dict.dat for one walk, a window of up to 1280 bytes at a time
// (a window is re-read only when a record lies outside it), and checks every link
// before a walk follows it. A damaged link ends its chain and is remembered, so
// a walk over any bytes at all ends, stays inside the file and can be reported.
#include <array>
#include <cstdint>

#include "completion/dict_format.h"
#include "completion/dict_store.h"

namespace kolu {

class DictReader {
  public:
    // `fileSize` is taken once per operation; nothing past it is ever read.
    DictReader(DictStore& store, std::uint64_t fileSize) : m_store(store), m_size(fileSize) {}

    std::uint64_t fileSize() const { return m_size; }

    // The first record of a chain at `offset` (a header slot, or where a prefix walk
    // stopped); false (damage noted) when it does not name a record of this file.
    bool enter(std::uint32_t offset, DictRecord& out);
    // The first record of the chain `next` (held by the record at `from`) names;
    // false when `next` is 0 or damaged (noted), which ends the chain.
    bool follow(std::uint32_t from, std::uint32_t next, DictRecord& out);
    // The child of the record at `offset` (the record after it); false, with the
    // damage noted, when the file ends first.
    bool child(std::uint32_t offset, DictRecord& out);
    // Notes damage found by a caller (the first kind found is kept).
    void noteDamage(DictDamage damage);

    DictDamage damage() const { return m_damage; }
    // The first failed read (0 when none); a failed read also ends its chain.
    int readError() const { return m_readError; }

  private:
    bool record(std::uint32_t offset, DictRecord& out);

    DictStore& m_store;
    std::uint64_t m_size;
    std::array<unsigned char, kDictWindowBytes> m_window{};
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowLength = 0;
    DictDamage m_damage = DictDamage::None;
    int m_readError = 0;
};

}  // namespace kolu
