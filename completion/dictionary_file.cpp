// The dictionary's operations on an open dict.dat: header, phrases, the adding
// walk, the prefix walk, and the repair that keeps a damaged file appendable.
#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>

#include "completion/dictionary.h"
#include "settings/error_log.h"

namespace kolu {
namespace {

constexpr std::uint64_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();

void logFailure(ErrorLog* log, std::u16string_view call, std::u16string_view label, int code) {
    if (log) {
        log->LogError(call, label, code);
    }
}

void noteDamage(DictScan& scan, DictDamage damage) {
    if (scan.damage == DictDamage::None) {
        scan.damage = damage;
    }
}

// Whether a phrase of `characters` characters fits below the 32-bit offset limit at `end`.
bool phraseFits(std::uint64_t end, std::size_t characters) {
    return end + kDictRecordBytes * (std::uint64_t{characters} + 1) <= kMaxOffset;
}

// Makes a damaged file safe to append to without losing a readable word:
// - a header cut short is completed, and slots that name no record of the file are
//   cleared (such a slot leads to no word now, and could lead to a wrong one once
//   the file grows past it);
// - a file ending inside a record, or in a phrase without its terminator, gets a
//   terminator over the torn record, since a new phrase appended directly after a
//   torn one would read as its continuation. Only unreadable bytes are overwritten.
// `size` becomes the size after the repair. False when a read or write failed.
bool repairForAppend(DictStore& store, DictHeader& header, std::uint64_t& size, ErrorLog* log,
                     DictScan& scan) {
    constexpr std::u16string_view kLabel = u"DbDodajSlowo";
    bool headerDirty = size < kDictHeaderBytes;
    if (size > 0 && size < kDictHeaderBytes) {
        noteDamage(scan, DictDamage::ShortHeader);
    }
    for (std::uint32_t& slot : header) {
        if (slot != 0) {
            if (const DictDamage damage = dictCheckTarget(size, slot); damage != DictDamage::None) {
                noteDamage(scan, damage);
                slot = 0;
                headerDirty = true;
            }
        }
    }
    if (headerDirty) {
        if (const int rc = DbZapiszNaglowek(store, header)) {
            logFailure(log, u"WriteFile", kLabel, rc);
            return false;
        }
        size = std::max<std::uint64_t>(size, kDictHeaderBytes);
    }
    if (size <= kDictHeaderBytes) {
        return true;
    }
    const std::uint64_t end =
        kDictHeaderBytes + (size - kDictHeaderBytes) / kDictRecordBytes * kDictRecordBytes;
    bool torn = end != size;
    if (!torn) {
        unsigned char last[kDictRecordBytes] = {};
        std::size_t got = 0;
        const int rc = store.readAt(end - kDictRecordBytes, last, sizeof last, got);
        if (rc != 0 || got != sizeof last) {
            logFailure(log, u"ReadFile", kLabel, rc != 0 ? rc : EIO);
            return false;
        }
        torn = last[kDictRecordBytes - 1] != 0;
    }
    if (torn) {
        noteDamage(scan, DictDamage::BrokenTail);
        const unsigned char terminator[kDictRecordBytes] = {};
        if (const int rc = store.writeAt(end, terminator, sizeof terminator)) {
            logFailure(log, u"WriteFile", kLabel, rc);
            return false;
        }
        size = end + kDictRecordBytes;
    }
    return true;
}

}  // namespace

int DbCzytajNaglowek(DictStore& store, DictHeader& header) {
    unsigned char bytes[kDictHeaderBytes] = {};
    std::size_t got = 0;
    const int rc = store.readAt(0, bytes, sizeof bytes, got);
    for (std::size_t i = 0; i < kDictSlots; ++i) {
        header[i] = rc == 0 ? dictLoad32(bytes + 4 * i) : 0;
    }
    return rc;
}

int DbZapiszNaglowek(DictStore& store, const DictHeader& header) {
    unsigned char bytes[kDictHeaderBytes];
    for (std::size_t i = 0; i < kDictSlots; ++i) {
        dictStore32(bytes + 4 * i, header[i]);
    }
    return store.writeAt(0, bytes, sizeof bytes);
}

int DbDodajFraze(DictStore& store, std::uint64_t offset, std::u16string_view text) {
    std::string bytes((text.size() + 1) * kDictRecordBytes, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[i * kDictRecordBytes + 4] = static_cast<char>(dictByte(text[i]));
    }
    return store.writeAt(offset, bytes.data(), bytes.size());
}

DictAddResult DbSzukajWDrzewie(DictStore& store, DictReader& reader, std::u16string_view tail,
                               std::uint32_t start, ErrorLog* log) {
    constexpr std::u16string_view kLabel = u"DbSzukajWDrzewie";
    const auto readFailed = [&] {
        if (reader.readError() != 0) {
            logFailure(log, u"ReadFile", kLabel, reader.readError());
        }
        return DictAddResult::Failed;
    };
    DictRecord record;
    if (!reader.enter(start, record)) {
        return readFailed();
    }
    std::uint32_t offset = start;
    std::size_t matched = 0;
    for (;;) {
        const std::uint8_t wanted = matched < tail.size() ? dictByte(tail[matched]) : 0;
        if (record.ch == wanted) {
            if (wanted == 0) {
                return DictAddResult::Present;
            }
            DictRecord child;
            if (!reader.child(offset, child)) {
                return readFailed();  // a torn last phrase: dictAddWord ends it first
            }
            offset += kDictRecordBytes;
            record = child;
            ++matched;
            continue;
        }
        DictRecord sibling;
        if (reader.follow(offset, record.next, sibling)) {
            offset = record.next;
            record = sibling;
            continue;
        }
        if (reader.readError() != 0) {
            return readFailed();
        }
        // The end of the chain (a damaged `next` counts as its end and is replaced).
        break;
    }
    const std::uint64_t end = reader.fileSize();
    const std::u16string_view rest = tail.substr(matched);
    if (end < kDictHeaderBytes || (end - kDictHeaderBytes) % kDictRecordBytes != 0 ||
        !phraseFits(end, rest.size())) {
        logFailure(log, u"WriteFile", kLabel, EFBIG);
        return DictAddResult::Failed;
    }
    // The phrase goes first and the link last: an add cut short leaves an unlinked
    // phrase, never a link to records that were not written.
    if (const int rc = DbDodajFraze(store, end, rest)) {
        logFailure(log, u"WriteFile", kLabel, rc);
        return DictAddResult::Failed;
    }
    unsigned char link[kDictRecordBytes];
    dictStore32(link, static_cast<std::uint32_t>(end));
    link[4] = record.ch;
    if (const int rc = store.writeAt(offset, link, sizeof link)) {
        logFailure(log, u"WriteFile", kLabel, rc);
        return DictAddResult::Failed;
    }
    return DictAddResult::Added;
}

void DbPorownujSlowa(DictReader& reader, std::u16string_view& prefix, DictRecord& record,
                     std::uint32_t& offset) {
    while (!prefix.empty()) {
        // A typed character with the low byte 0 matches nothing, not even the end
        // of a word, so the walk never passes a terminator.
        const std::uint8_t wanted = dictByte(prefix.front());
        if (wanted != 0 && record.ch == wanted) {
            DictRecord child;
            if (!reader.child(offset, child)) {
                return;
            }
            offset += kDictRecordBytes;
            record = child;
            prefix.remove_prefix(1);
        } else {
            DictRecord sibling;
            if (!reader.follow(offset, record.next, sibling)) {
                return;
            }
            offset = record.next;
            record = sibling;
        }
    }
}

DictAddResult dictAddWord(DictStore& store, std::u16string_view word, ErrorLog* log,
                          DictScan& scan) {
    constexpr std::u16string_view kLabel = u"DbDodajSlowo";
    word = word.substr(0, kDictMaxWord);
    if (!dictStorable(word)) {
        return DictAddResult::NotStorable;
    }
    std::uint64_t size = 0;
    if (const int rc = store.size(size)) {
        logFailure(log, u"GetFileSize", kLabel, rc);
        return DictAddResult::Failed;
    }
    scan.fileSize = size;
    DictHeader header;
    if (const int rc = DbCzytajNaglowek(store, header)) {
        logFailure(log, u"ReadFile", kLabel, rc);
        return DictAddResult::Failed;
    }
    if (!repairForAppend(store, header, size, log, scan)) {
        return DictAddResult::Failed;
    }
    std::uint32_t& slot = header[dictByte(word.front())];
    const std::u16string_view tail = word.substr(1);
    if (slot == 0) {
        if (!phraseFits(size, tail.size())) {
            logFailure(log, u"WriteFile", kLabel, EFBIG);
            return DictAddResult::Failed;
        }
        if (const int rc = DbDodajFraze(store, size, tail)) {
            logFailure(log, u"WriteFile", kLabel, rc);
            return DictAddResult::Failed;
        }
        slot = static_cast<std::uint32_t>(size);
        if (const int rc = DbZapiszNaglowek(store, header)) {
            logFailure(log, u"WriteFile", kLabel, rc);
            return DictAddResult::Failed;
        }
        return DictAddResult::Added;
    }
    DictReader reader(store, size);
    const DictAddResult result = DbSzukajWDrzewie(store, reader, tail, slot, log);
    noteDamage(scan, reader.damage());
    return result;
}

}  // namespace kolu
