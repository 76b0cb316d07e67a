#pragma once
// The layout of dict.dat, the word-completion dictionary: a 1024-byte header of
// 256 little-endian 32-bit slots (one per low byte of a word's first character),
// then 5-byte records (32-bit `next` sibling offset, one character byte) appended
// in phrases. These constants and helpers are shared by the adding and the lookup.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kolu {

inline constexpr std::size_t kDictSlots = 256;
inline constexpr std::uint32_t kDictHeaderBytes = 1024;
inline constexpr std::uint32_t kDictRecordBytes = 5;
// One read: 256 records, room for the longest phrase read from its first record.
inline constexpr std::size_t kDictWindowBytes = 1280;
// Longest word taught (UTF-16 code units); a longer piece is cut to this.
inline constexpr std::size_t kDictMaxWord = 250;

using DictHeader = std::array<std::uint32_t, kDictSlots>;

// One record as stored: `next` is 0 at the end of a sibling chain, `ch` 0 ends a word.
struct DictRecord {
    std::uint32_t next = 0;
    std::uint8_t ch = 0;
};

// What a walk found wrong with the file. A damaged link is treated as the end of
// its chain, so a walk always ends; the kinds only say what to report.
enum class DictDamage : std::uint8_t {
    None,
    ShortHeader,     // the file is shorter than its header
    BrokenTail,      // the file ends inside a record or in the middle of a phrase
    LinkOutside,     // a slot or `next` points before the records or past the end
    LinkMisaligned,  // a slot or `next` points into the middle of a record
    LinkBackward,    // a `next` that does not point forward (could close a cycle)
    EndlessWord,     // a word runs past the end of the file or past the longest word
};

// A short description of the damage for the error log.
std::u16string_view dictDamageText(DictDamage damage);

// The stored form of a character: the low byte of its UTF-16 code unit.
inline std::uint8_t dictByte(char16_t c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}

// A word can be stored only when none of its characters has the low byte 0: such
// a byte would read back as the end of the word. Such words are not taught.
inline bool dictStorable(std::u16string_view word) {
    for (char16_t c : word) {
        if (dictByte(c) == 0) {
            return false;
        }
    }
    return !word.empty();
}

// Whether `target` can be the first record of a chain in a file of `fileSize`
// bytes: inside the record area, on a record boundary, wholly inside the file.
inline DictDamage dictCheckTarget(std::uint64_t fileSize, std::uint32_t target) {
    if (target < kDictHeaderBytes || std::uint64_t{target} + kDictRecordBytes > fileSize) {
        return DictDamage::LinkOutside;
    }
    if ((target - kDictHeaderBytes) % kDictRecordBytes != 0) {
        return DictDamage::LinkMisaligned;
    }
    return DictDamage::None;
}

// A `next` link must also point past the record holding it: records are only
// ever appended, so a link never points back, and no chain can close a cycle.
inline DictDamage dictCheckNext(std::uint64_t fileSize, std::uint32_t from, std::uint32_t next) {
    if (next <= from) {
        return DictDamage::LinkBackward;
    }
    return dictCheckTarget(fileSize, next);
}

inline std::uint32_t dictLoad32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline void dictStore32(unsigned char* p, std::uint32_t value) {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
}

}  // namespace kolu
