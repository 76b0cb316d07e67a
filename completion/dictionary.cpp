#include "completion/dictionary.h"

#include <cerrno>

#include "completion/word_listing.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {
namespace {

// Taught words may include what was typed after /msg, so only the user reads them.
constexpr unsigned kDictFileMode = 0600;
// Reported with the damage: "Structure needs cleaning".
constexpr int kDamageCode = EUCLEAN;

}  // namespace

Dictionary::Dictionary(Settings& settings, ErrorLog& log) : m_settings(settings), m_log(log) {}

std::string Dictionary::filePath(std::u16string_view name) {
    return toUtf8(m_settings.CzytajDictPath() + std::u16string(name));
}

void Dictionary::reportDamage(const DictScan& scan, std::u16string_view label) {
    if (scan.damage == DictDamage::None || m_reportedSize == scan.fileSize) {
        return;
    }
    m_reportedSize = scan.fileSize;
    m_log.LogError(dictDamageText(scan.damage), label, kDamageCode);
}

int Dictionary::DbTworzSlownik(int reset) {
    constexpr std::u16string_view kLabel = u"DbTworzSlownik";
    const std::string path = filePath(kDictFileName);
    const std::string emptyHeader(kDictHeaderBytes, '\0');
    if (reset == 1) {
        // The old dictionary stays whole until the empty one replaces it.
        if (const int rc = writeFileAtomically(path, emptyHeader, kDictFileMode)) {
            m_log.LogError(u"CreateFileW", kLabel, rc);
        }
    } else {
        File file;
        if (const int rc = File::open(path, OpenMode::OpenAlways, file, kDictFileMode)) {
            m_log.LogError(u"CreateFileW", kLabel, rc);
        } else {
            std::int64_t size = 0;
            if (const int rc = file.size(size)) {
                m_log.LogError(u"GetFileSize", kLabel, rc);
            } else if (size == 0) {
                if (const int rc = file.write(emptyHeader.data(), emptyHeader.size())) {
                    m_log.LogError(u"WriteFile", kLabel, rc);
                }
            }
            if (const int rc = file.close()) {
                m_log.LogError(u"CloseHandle", kLabel, rc);
            }
        }
    }
    return DbDodajTekst(kDictSeedText);
}

int Dictionary::DbDodajTekst(std::u16string_view text) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t space = text.find(u' ', start);
        const std::u16string_view piece =
            text.substr(start, space == std::u16string_view::npos ? text.npos : space - start);
        if (piece.size() >= 2) {
            DbDodajSlowo(piece.substr(0, kDictMaxWord));
        }
        if (space == std::u16string_view::npos) {
            return 1;
        }
        start = space + 1;
    }
}

int Dictionary::DbDodajSlowo(std::u16string_view word) {
    constexpr std::u16string_view kLabel = u"DbDodajSlowo";
    word = word.substr(0, kDictMaxWord);
    if (!dictStorable(word)) {
        return 1;  // nothing to open the file for
    }
    File file;
    if (const int rc =
            File::open(filePath(kDictFileName), OpenMode::OpenAlways, file, kDictFileMode)) {
        m_log.LogError(u"CreateFileW", kLabel, rc);
        return 1;
    }
    FileDictStore store(file);
    DictScan scan;
    dictAddWord(store, word, &m_log, scan);
    reportDamage(scan, kLabel);
    if (const int rc = file.close()) {
        m_log.LogError(u"CloseHandle", kLabel, rc);
    }
    return 1;
}

WordLookup Dictionary::lookup(std::u16string_view typedWord, int maximum) {
    constexpr std::u16string_view kLabel = u"DbMonitorujSlowo";
    File file;
    if (const int rc =
            File::open(filePath(kDictFileName), OpenMode::OpenAlways, file, kDictFileMode)) {
        m_log.LogError(u"CreateFileW", kLabel, rc);
        return {};
    }
    FileDictStore store(file);
    DictScan scan;
    WordLookup result = lookupWords(store, typedWord, maximum, &m_log, scan);
    reportDamage(scan, kLabel);
    if (const int rc = file.close()) {
        m_log.LogError(u"CloseHandle", kLabel, rc);
    }
    return result;
}

int Dictionary::DbCopy(std::u16string_view from, std::u16string_view to) {
    // The copy is written beside the target and renamed over it, so the target is
    // either the old file or a whole copy.
    if (const int rc = copyFile(filePath(from), filePath(to))) {
        m_log.LogError(u"CopyFileW", u"DbCopy", rc);
    }
    return 1;
}

int Dictionary::DbKopiaZapasowa() {
    return DbCopy(kDictFileName, kDictBackupName);
}

int Dictionary::DbPrzywrocKopie() {
    return DbCopy(kDictBackupName, kDictFileName);
}

int Dictionary::startUp() {
    if (m_settings.switchOn(u"whspback")) {
        DbKopiaZapasowa();
    }
    return DbTworzSlownik(0);
}

}  // namespace kolu
