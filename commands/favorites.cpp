#include "commands/favorites.h"

#include <cerrno>

#include "platform/files.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {
namespace {

// Favourites may hold whole commands, passwords included.
constexpr unsigned kFileMode = 0600;

std::u16string cutTo(std::u16string_view text, std::size_t units) {
    return std::u16string(cutAtWholeChar(text, units));
}

}  // namespace

bool FavoritesMenu::append(std::u16string_view text, int id) {
    if (id < kFirstId || id > kLastId || findById(id)) {
        return false;
    }
    m_items.push_back({std::u16string(text), id});
    notify();
    return true;
}

bool FavoritesMenu::removeAt(int index) {
    if (index < 0 || index >= size()) {
        return false;
    }
    m_items.erase(m_items.begin() + index);
    // Renumbered so the next item, which takes kFirstId + count, can't repeat an id.
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        m_items[i].id = kFirstId + static_cast<int>(i);
    }
    notify();
    return true;
}

const FavoritesMenu::Item* FavoritesMenu::findById(int id) const {
    for (const Item& item : m_items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

void FavoritesMenu::notify() {
    if (m_observer) {
        m_observer->favoritesChanged();
    }
}

std::vector<std::u16string> parseFavorites(std::string_view bytes) {
    std::vector<std::u16string> sentences;
    std::size_t start = 0;
    while (sentences.size() < Favorites::kMaxLines) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string_view::npos) {
            break;  // text after the last CR LF is no line
        }
        std::string_view line = bytes.substr(start, end - start);
        line = line.substr(0, line.find('\0'));
        sentences.push_back(cutTo(fromUtf8(line), Favorites::kLoadedChars));
        start = end + 2;
    }
    return sentences;
}

std::string favoritesFileText(const std::vector<std::u16string>& sentences) {
    std::string text;
    for (const std::u16string& sentence : sentences) {
        text += toUtf8(cutAtWholeChar(sentence, Favorites::kSavedChars));
        text += "\r\n";
    }
    return text;
}

std::optional<std::u16string> favoriteInsertText(const FavoritesMenu& menu, int id) {
    const FavoritesMenu::Item* item = menu.findById(id);
    if (!item) {
        return std::nullopt;
    }
    return cutTo(item->text, Favorites::kSavedChars) + u" ";
}

Favorites::Favorites(Settings& settings, ErrorLog& log) : m_settings(settings), m_log(log) {}

std::string Favorites::filePath() {
    return toUtf8(m_settings.CzytajInstallDir() + u"favorites.txt");
}

std::vector<std::u16string> Favorites::readFile() {
    constexpr std::u16string_view label = u"FavWczytaj";
    File file;
    if (const int rc = File::open(filePath(), OpenMode::OpenAlways, file, kFileMode)) {
        m_log.LogError(u"CreateFileW", label, rc);
        return {};
    }
    // Read until the last line that counts: a huge file costs no more.
    std::string bytes;
    std::size_t lines = 0;
    std::size_t scanned = 0;
    const int rc = file.readRest(bytes, [&](std::string_view read) {
        for (std::size_t at = scanned == 0 ? 0 : scanned - 1;
             (at = read.find("\r\n", at)) != std::string_view::npos; at += 2) {
            ++lines;
        }
        scanned = read.size();
        return lines >= kMaxLines;
    });
    if (rc != 0) {
        m_log.LogError(u"ReadFile", label, rc);
        return {};
    }
    if (const int closed = file.close()) {
        m_log.LogError(u"CloseHandle", label, closed);
    }
    return parseFavorites(bytes);
}

int Favorites::FavWczytaj(FavoritesMenu& menu) {
    int count = 0;
    for (const std::u16string& sentence : readFile()) {
        count = FavAdd(menu, sentence, count);
    }
    return count;
}

int Favorites::FavAdd(FavoritesMenu& menu, std::u16string_view text, int count) {
    if (!menu.append(text, FavoritesMenu::kFirstId + count)) {
        m_log.LogError(u"AppendMenu", u"FavAdd", ENOSPC);
        return count;
    }
    return count + 1;
}

int Favorites::FavDel(FavoritesMenu& menu, int index, int count) {
    if (!menu.removeAt(index)) {
        m_log.LogError(u"DeleteMenu", u"FavDel", EINVAL);
        return count;
    }
    return count - 1;
}

int Favorites::FavZapisz(const FavoritesMenu& menu, int count) {
    std::vector<std::u16string> sentences;
    for (int i = 0; i < count; ++i) {
        if (i >= menu.size()) {
            m_log.LogError(u"GetMenuString", u"FavZapisz", EINVAL);
            break;
        }
        sentences.push_back(menu.items()[i].text);
    }
    if (const int rc = writeFileAtomically(filePath(), favoritesFileText(sentences), kFileMode)) {
        m_log.LogError(u"WriteFile", u"FavZapisz", rc);
    }
    return 1;
}

FavoritesListData Favorites::Fav2Listbox(const FavoritesMenu& menu) {
    FavoritesListData data{u"Favorites list", u"Select sentence to remove:", {}};
    for (const FavoritesMenu::Item& item : menu.items()) {
        data.sentences.push_back(item.text);
    }
    return data;
}

}  // namespace kolu
