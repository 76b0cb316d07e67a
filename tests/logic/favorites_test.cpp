#include "commands/favorites.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using Sentences = std::vector<std::u16string>;
using Items = std::vector<FavoritesMenu::Item>;

class FavoritesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
    }
    Items items() const { return Items(menu.items().begin(), menu.items().end()); }

    test::SettingsEnv env;
    Favorites favorites{env.settings, env.log};
    FavoritesMenu menu;
};

TEST_F(FavoritesTest, AMissingFileIsCreatedEmptyAndAtMost64LinesAreLoaded) {
    EXPECT_EQ(favorites.FavWczytaj(menu), 0);
    EXPECT_EQ(env.read("favorites.txt"), "");
    std::string file;
    for (int i = 0; i < 70; ++i) {
        file += "line " + std::to_string(i) + "\r\n";
    }
    env.write("favorites.txt", file);
    EXPECT_EQ(favorites.FavWczytaj(menu), 64);
    EXPECT_EQ(menu.items().back(), (FavoritesMenu::Item{u"line 63", 40263}));
}

TEST_F(FavoritesTest, LoadingKeepsWholeLinesAndSavingRewritesThemCutTo63) {
    // The unended last line is dropped; a cut never splits a surrogate pair.
    env.write("favorites.txt", "hi all\r\n" + std::string(80, 'x') + "\r\n/join #a\r\n" +
                                   std::string(63, 'a') + "\xF0\x9F\x98\x80\r\nbye");
    const int count = favorites.FavWczytaj(menu);
    EXPECT_EQ(items(), (Items{{u"hi all", 40200},
                              {std::u16string(64, u'x'), 40201},
                              {u"/join #a", 40202},
                              {std::u16string(63, u'a'), 40203}}));
    favorites.FavZapisz(menu, count);
    EXPECT_EQ(env.read("favorites.txt"), "hi all\r\n" + std::string(63, 'x') + "\r\n/join #a\r\n" +
                                             std::string(63, 'a') + "\r\n");
}

TEST_F(FavoritesTest, IdsStayUniqueAndRoutedThroughAddsAndRemovals) {
    int count = 0;
    unsigned seed = 7;
    for (int step = 0; step < 2000; ++step) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 3 != 0 || count == 0) {
            count = favorites.FavAdd(menu, u"s" + fromUtf8(std::to_string(step)), count);
        } else {
            count = favorites.FavDel(menu, static_cast<int>((seed >> 8) % count), count);
        }
        ASSERT_EQ(count, menu.size());
        std::set<int> seen;
        for (int i = 0; i < menu.size(); ++i) {
            const int id = menu.items()[i].id;
            ASSERT_TRUE(seen.insert(id).second) << "duplicate id " << id;
            ASSERT_GE(id, FavoritesMenu::kFirstId);
            ASSERT_LE(id, FavoritesMenu::kLastId);
            ASSERT_EQ(favoriteInsertText(menu, id), menu.items()[i].text + u" ");
        }
    }
}

TEST_F(FavoritesTest, AFullPopupRefusesMoreAndSaysSo) {
    int count = 0;
    for (int i = 0; i < FavoritesMenu::kMaxItems; ++i) {
        count = favorites.FavAdd(menu, u"x", count);
    }
    EXPECT_EQ(menu.items().back().id, 40297);
    EXPECT_EQ(favorites.FavAdd(menu, u"one too many", count), 98);
    EXPECT_NE(env.decodedLog().find("FavAdd\t\tAppendMenu"), std::string::npos);
    EXPECT_EQ(favorites.FavDel(menu, 98, count), 98);
    EXPECT_EQ(favorites.FavDel(menu, -1, count), 98);
    EXPECT_NE(env.decodedLog().find("FavDel\t\tDeleteMenu"), std::string::npos);
    EXPECT_EQ(favoriteInsertText(menu, FavoritesMenu::kAddId), std::nullopt);
}

TEST_F(FavoritesTest, TheRemovalListIsTheMenuEvenWhenTheFileDiffers) {
    env.write("favorites.txt", "a\r\n\xC5\x82\r\n");
    const int count = favorites.FavWczytaj(menu);
    env.write("favorites.txt", "");  // as after a failed save: the file no longer matches the menu
    favorites.FavAdd(menu, u"unsaved", count);
    EXPECT_EQ(Favorites::Fav2Listbox(menu).sentences, (Sentences{u"a", u"\u0142", u"unsaved"}));
}

TEST_F(FavoritesTest, AFailedSaveLeavesTheOldFileWhole) {
    const std::string old = "keep me\r\n";
    env.write("favorites.txt", old);
    menu.append(std::u16string(60, u'a'), 40200);  // room for the log's entry, not the file
    menu.append(std::u16string(60, u'b'), 40201);
    {
        test::FileSizeLimit limit(100);
        ASSERT_TRUE(limit.set());
        favorites.FavZapisz(menu, menu.size());
    }
    EXPECT_EQ(env.read("favorites.txt"), old);
    EXPECT_NE(env.decodedLog().find("FavZapisz\t\tWriteFile : " + std::to_string(EFBIG)),
              std::string::npos)
        << env.decodedLog();
    favorites.FavZapisz(menu, 0);
    EXPECT_EQ(env.read("favorites.txt"), "");
}

}  // namespace
}  // namespace kolu
