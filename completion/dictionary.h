#pragma once
// The word-completion dictionary dict.dat: a character tree kept wholly in the
// file (see completion/dict_format.h). Every operation opens the file, reads the
// records it walks, writes what it changes and closes it again; nothing of the
// tree is kept in memory. Failures go to the error log; callers get no status
// (a lookup only says whether the file could be read).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "completion/dict_format.h"
#include "completion/dict_reader.h"
#include "completion/dict_store.h"
#include "completion/word_teacher.h"

namespace kolu {

class ErrorLog;
class Settings;

// The words of a new or reset dictionary, taught as one text.
inline constexpr std::u16string_view kDictSeedText =
    u"/join /part /msg /me /invite /list /names /whois /whowas /who /nick /quit /topic /kick "
    u"/mode /ping /notice /query /away /ison";

inline constexpr std::u16string_view kDictFileName = u"dict.dat";
inline constexpr std::u16string_view kDictBackupName = u"dict_old.dat";

// What one operation saw of the file: its size when opened and the first damage met.
struct DictScan {
    std::uint64_t fileSize = 0;
    DictDamage damage = DictDamage::None;
};

enum class DictAddResult {
    Present,      // the word was already there: nothing written
    Added,        // linked and appended
    NotStorable,  // empty, or holds a character whose low byte is 0: not taught
    Failed,       // a read or write failed (logged); the file holds no dangling link
};

// ---- Operations on an open dict.dat ----

// Reads the 1024-byte header; the part a short file lacks reads as empty slots.
// Returns 0 or the error code (the header is then all empty).
int DbCzytajNaglowek(DictStore& store, DictHeader& header);
int DbZapiszNaglowek(DictStore& store, const DictHeader& header);
// Writes the phrase of `text` at `offset`: one record per character, then a
// terminator, every `next` 0. Returns 0 or the error code.
int DbDodajFraze(DictStore& store, std::uint64_t offset, std::u16string_view text);
// Walks from the slot's first record at `start` along `tail` (the word from its
// second character) and, when the word is missing, appends the rest of it and
// links it from the last record of the sibling chain where the walk stopped.
// Expects a file with whole records ending in a terminator (dictAddWord sees to it).
DictAddResult DbSzukajWDrzewie(DictStore& store, DictReader& reader, std::u16string_view tail,
                               std::uint32_t start, ErrorLog* log);
// Prefix walk: `prefix` is the typed word from its second character, `record` and
// `offset` the slot's first record. On return an empty `prefix` means the whole
// typed word is a path and `offset` is the first alternative after it; otherwise
// no stored word begins with the typed word.
void DbPorownujSlowa(DictReader& reader, std::u16string_view& prefix, DictRecord& record,
                     std::uint32_t& offset);
// Adds one word to an open file: reads the header, first makes a damaged file safe
// to append to (short header completed, slots outside the records cleared, a torn
// last phrase ended), then links the word in. Words longer than 250 are cut.
DictAddResult dictAddWord(DictStore& store, std::u16string_view word, ErrorLog* log,
                          DictScan& scan);

// The words the whisper list offers for a typed word (see word_listing.h).
struct WordLookup {
    bool opened = false;  // false: the file could not be opened or read
    std::vector<std::u16string> words;
};

// ---- The dictionary in its folder ----

class Dictionary {
  public:
    Dictionary(Settings& settings, ErrorLog& log);

    // Creates dict.dat when missing or empty (reset 0) or empties it (reset 1),
    // then teaches the seed words. Returns 1.
    int DbTworzSlownik(int reset);
    // Teaches every space-separated piece of two or more characters. Returns 1.
    int DbDodajTekst(std::u16string_view text);
    // Teaches one word. Returns 1.
    int DbDodajSlowo(std::u16string_view word);
    // Copies one file of the dictionary folder over another. Returns 1.
    int DbCopy(std::u16string_view from, std::u16string_view to);
    int DbKopiaZapasowa();
    int DbPrzywrocKopie();
    // At the main window's creation: the backup (when `whspback` is not 0), then
    // the dictionary is created if missing, in that order. Returns 1.
    int startUp();

    // The words offered for `typedWord`, in the listing's order, at most about
    // `maximum` of them (see DbListujSlowa).
    WordLookup lookup(std::u16string_view typedWord, int maximum);

    // Dictionary folder + `name`.
    std::string filePath(std::u16string_view name);

  private:
    // Damage is reported once per file state: again only when the file's size has
    // changed since the last report (the file only grows, and a reset or restore
    // gives it a new size), so a lookup at every keystroke never floods the log.
    void reportDamage(const DictScan& scan, std::u16string_view label);

    Settings& m_settings;
    ErrorLog& m_log;
    std::optional<std::uint64_t> m_reportedSize;
};

// The command line's self-teaching through the dictionary.
class DictionaryTeacher final : public WordTeacher {
  public:
    explicit DictionaryTeacher(Dictionary& dictionary) : m_dictionary(dictionary) {}
    void DbDodajTekst(std::u16string_view text) override { m_dictionary.DbDodajTekst(text); }

  private:
    Dictionary& m_dictionary;
};

}  // namespace kolu
