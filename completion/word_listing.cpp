#include "completion/word_listing.h"

#include "settings/error_log.h"

namespace kolu {
namespace {

// Records one listing may visit. A sound dictionary needs at most about 250 per
// word listed; a damaged one whose links lead into other words' records can hold
// more paths than any maximum would ever list, and one keystroke must stay quick.
constexpr std::size_t kListingBudget = 1'000'000;

// A record whose sibling branch is being listed; its own subtree comes after.
struct PendingRecord {
    std::uint32_t offset;
    std::uint8_t ch;
    std::size_t position;
};

void putChar(std::u16string& word, std::size_t position, std::uint8_t ch) {
    if (word.size() <= position) {
        word.resize(position + 1);
    }
    word[position] = static_cast<char16_t>(ch);
}

}  // namespace

void DbZbierzSlowa(DictReader& reader, std::uint32_t offset, std::u16string& word,
                   std::size_t typedLength, std::size_t position, int& count, int maximum,
                   std::vector<std::u16string>& rows) {
    DictRecord record;
    if (!reader.enter(offset, record)) {
        return;
    }
    std::vector<PendingRecord> pending;
    std::size_t visits = 0;
    for (;;) {
        if (++visits > kListingBudget) {
            return;
        }
        // The sibling chain first: alternatives added later are listed before this one.
        DictRecord sibling;
        if (count < maximum && reader.follow(offset, record.next, sibling)) {
            if (!(record.ch == 0 && position == typedLength)) {
                ++count;
            }
            pending.push_back({offset, record.ch, position});
            offset = record.next;
            record = sibling;
            continue;
        }
        // Then the record's own subtree, and after it those of the records waiting.
        for (;;) {
            putChar(word, position, record.ch);
            if (record.ch != 0) {
                DictRecord child;
                if (position >= kDictMaxWord) {
                    reader.noteDamage(DictDamage::EndlessWord);
                } else if (reader.child(offset, child)) {
                    offset += kDictRecordBytes;
                    ++position;
                    record = child;
                    break;
                }
            } else if (position != typedLength) {
                rows.push_back(word.substr(0, position));
            }
            if (pending.empty()) {
                return;
            }
            const PendingRecord next = pending.back();
            pending.pop_back();
            offset = next.offset;
            position = next.position;
            record = DictRecord{0, next.ch};
        }
    }
}

std::vector<std::u16string> DbListujSlowa(DictReader& reader, std::u16string_view typed,
                                          std::uint32_t offset, int maximum) {
    std::vector<std::u16string> rows;
    std::u16string word(typed);
    int count = 1;
    DbZbierzSlowa(reader, offset, word, typed.size(), typed.size(), count, maximum, rows);
    return rows;
}

WordLookup lookupWords(DictStore& store, std::u16string_view typed, int maximum, ErrorLog* log,
                       DictScan& scan) {
    constexpr std::u16string_view kLabel = u"DbMonitorujSlowo";
    WordLookup result;
    std::uint64_t size = 0;
    if (const int rc = store.size(size)) {
        if (log) {
            log->LogError(u"GetFileSize", kLabel, rc);
        }
        return result;
    }
    scan.fileSize = size;
    if (size > 0 && size < kDictHeaderBytes) {
        scan.damage = DictDamage::ShortHeader;
    }
    DictHeader header;
    if (const int rc = DbCzytajNaglowek(store, header)) {
        if (log) {
            log->LogError(u"ReadFile", kLabel, rc);
        }
        return result;
    }
    result.opened = true;
    if (typed.empty()) {
        return result;
    }
    const std::uint32_t slot = header[dictByte(typed.front())];
    if (slot == 0) {
        return result;
    }
    DictReader reader(store, size);
    DictRecord record;
    if (reader.enter(slot, record)) {
        std::u16string_view prefix = typed.substr(1);
        std::uint32_t offset = slot;
        DbPorownujSlowa(reader, prefix, record, offset);
        if (prefix.empty()) {
            result.words = DbListujSlowa(reader, typed, offset, maximum);
        }
    }
    if (reader.readError() != 0 && log) {
        log->LogError(u"ReadFile", kLabel, reader.readError());
    }
    if (scan.damage == DictDamage::None) {
        scan.damage = reader.damage();
    }
    return result;
}

}  // namespace kolu
