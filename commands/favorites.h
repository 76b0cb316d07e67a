#pragma once
// Favourite sentences: the items at the end of the main menu's Favorites popup
// (after its fixed Add, Remove and separator) and the file favorites.txt in the
// installation folder that mirrors them (UTF-8, one sentence per CR LF line).
// The menu model is the working copy; the file is rewritten after every change.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

class ErrorLog;
class Settings;

// Hears changes of the favourite items so the Qt popup can follow them.
class FavoritesMenuObserver {
  public:
    virtual ~FavoritesMenuObserver() = default;
    virtual void favoritesChanged() = 0;
};

// The favourite items of the Favorites popup, in menu order, each with its text
// and command id. Ids are unique and stay within the range the main window routes
// to favourites: item i has id kFirstId + i, also after a removal.
class FavoritesMenu {
  public:
    static constexpr int kFirstId = 40200;
    static constexpr int kLastId = 40297;
    static constexpr int kAddId = 40298;
    static constexpr int kRemoveId = 40299;
    // Add, Remove and the separator come before the first favourite.
    static constexpr int kFixedItems = 3;
    static constexpr int kMaxItems = kLastId - kFirstId + 1;

    struct Item {
        std::u16string text;
        int id = 0;
        bool operator==(const Item&) const = default;
    };

    void setObserver(FavoritesMenuObserver* observer) { m_observer = observer; }

    const std::vector<Item>& items() const { return m_items; }
    int size() const { return static_cast<int>(m_items.size()); }
    // AppendMenu: false, nothing added, when `id` is outside kFirstId..kLastId or taken.
    bool append(std::u16string_view text, int id);
    // DeleteMenu of favourite `index`; the items after it take the ids of their new
    // positions. False when there is no such item.
    bool removeAt(int index);
    // The item with command id `id`, nullptr when none.
    const Item* findById(int id) const;

  private:
    void notify();

    std::vector<Item> m_items;
    FavoritesMenuObserver* m_observer = nullptr;
};

// What the pick-from-list dialog shows to remove a favourite.
struct FavoritesListData {
    std::u16string title;
    std::u16string caption;
    std::vector<std::u16string> sentences;
};

// Sentences per favorites.txt rules: only text followed by CR LF is a line; at
// most 64 lines; each cut at a NUL and to 64 characters (whole characters).
std::vector<std::u16string> parseFavorites(std::string_view bytes);
// The file's bytes for `sentences`: each cut to 63 characters, UTF-8, CR LF.
std::string favoritesFileText(const std::vector<std::u16string>& sentences);
// What choosing favourite `id` inserts at the caret: its text (at most 63
// characters) and one space. Nothing when no item has that id.
std::optional<std::u16string> favoriteInsertText(const FavoritesMenu& menu, int id);

class Favorites {
  public:
    static constexpr std::size_t kMaxLines = 64;
    static constexpr std::size_t kLoadedChars = 64;
    static constexpr std::size_t kSavedChars = 63;

    Favorites(Settings& settings, ErrorLog& log);

    // Loads favorites.txt (created empty when missing) into the menu; returns the
    // number of items appended.
    int FavWczytaj(FavoritesMenu& menu);
    // Appends `text` with id kFirstId + `count`; returns count + 1, or `count` when
    // the menu refused the item (id out of range: the popup is full).
    int FavAdd(FavoritesMenu& menu, std::u16string_view text, int count);
    // Deletes favourite `index`; returns count - 1, or `count` when there is none.
    int FavDel(FavoritesMenu& menu, int index, int count);
    // Rewrites favorites.txt from the first `count` items: the whole new file
    // replaces the old one, or the old one stays. Returns 1.
    int FavZapisz(const FavoritesMenu& menu, int count);
    // The removal dialog's title, caption and the menu's sentences: the list a
    // choice indexes is the one the removal applies to, saved or not.
    static FavoritesListData Fav2Listbox(const FavoritesMenu& menu);

    // Installation folder + "favorites.txt".
    std::string filePath();

  private:
    // The sentences of the file as FavWczytaj reads it; nothing when it can't be read.
    std::vector<std::u16string> readFile();

    Settings& m_settings;
    ErrorLog& m_log;
};

}  // namespace kolu
