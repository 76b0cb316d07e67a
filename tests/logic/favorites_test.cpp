#include "commands/favorites.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include "tests/support/file_size_limit.h"

#include <cerrno>
#include <csignal>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using Sentences = std::vector<std::u16string>;
using namespace std::string_literals;

struct ParseCase {
    std::string bytes;
    Sentences sentences;
};

class FavoritesParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(FavoritesParse, LinesEndInCrLfAndAreCutTo64Characters) {
    EXPECT_EQ(parseFavorites(GetParam().bytes), GetParam().sentences);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FavoritesParse,
    ::testing::Values(ParseCase{"hi all\r\n/join #a\r\nbye", {u"hi all", u"/join #a"}},
                      ParseCase{"", {}}, ParseCase{"no line end", {}},
                      ParseCase{"\r\n\r\n", {u"", u""}}, ParseCase{"a\nb\r\nc\r", {u"a\nb"}},
                      ParseCase{"x\ry\r\r\n", {u"x\ry\r"}},
                      ParseCase{"nul\0cut\r\nnext\r\n"s, {u"nul", u"next"}},
                      ParseCase{"za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xE9\r\n",
                                {u"za\u017c\u00f3\u0142\u0107 \u00e9"}},
                      ParseCase{std::string(80, 'x') + "\r\n", {std::u16string(64, u'x')}},
                      // A cut never splits a surrogate pair.
                      ParseCase{std::string(63, 'a') + "\xF0\x9F\x98\x80\r\n",
                                {std::u16string(63, u'a')}}));

class CountingObserver final : public FavoritesMenuObserver {
  public:
    int changes = 0;
    void favoritesChanged() override { ++changes; }
};

class FavoritesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.putDword(kSettingsKey, u"debug", 1);
    }
    std::string path() const { return env.dir.file("favorites.txt"); }
    void put(const std::string& bytes) { ASSERT_EQ(writeFileAtomically(path(), bytes), 0); }
    std::string contents() const {
        std::string bytes;
        readWholeFile(path(), bytes);
        return bytes;
    }
    Sentences texts() const {
        Sentences out;
        for (const FavoritesMenu::Item& item : menu.items()) {
            out.push_back(item.text);
        }
        return out;
    }
    std::vector<int> ids() const {
        std::vector<int> out;
        for (const FavoritesMenu::Item& item : menu.items()) {
            out.push_back(item.id);
        }
        return out;
    }

    test::SettingsEnv env;
    Favorites favorites{env.settings, env.log};
    FavoritesMenu menu;
};

TEST_F(FavoritesTest, AMissingFileIsCreatedEmptyAndGivesNoItems) {
    EXPECT_EQ(favorites.FavWczytaj(menu), 0);
    EXPECT_TRUE(fileExists(path()));
    EXPECT_EQ(contents(), "");
    EXPECT_EQ(menu.size(), 0);
    EXPECT_EQ(env.decodedLog(), "");
}

TEST_F(FavoritesTest, LoadingKeepsWholeLinesAndSavingRewritesThemCutTo63) {
    put("hi all\r\n" + std::string(80, 'x') + "\r\n/join #a\r\nbye");
    const int count = favorites.FavWczytaj(menu);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(texts(), (Sentences{u"hi all", std::u16string(64, u'x'), u"/join #a"}));
    EXPECT_EQ(ids(), (std::vector<int>{40200, 40201, 40202}));
    favorites.FavZapisz(menu, count);
    EXPECT_EQ(contents(), "hi all\r\n" + std::string(63, 'x') + "\r\n/join #a\r\n");
}

TEST_F(FavoritesTest, AtMost64LinesAreLoaded) {
    std::string file;
    for (int i = 0; i < 70; ++i) {
        file += "line " + std::to_string(i) + "\r\n";
    }
    put(file);
    EXPECT_EQ(favorites.FavWczytaj(menu), 64);
    EXPECT_EQ(menu.items().back(), (FavoritesMenu::Item{u"line 63", 40263}));
}

TEST_F(FavoritesTest, RemovingTheSecondOfThreeKeepsTheOthersInTheFile) {
    put("one\r\ntwo\r\nthree\r\n");
    int count = favorites.FavWczytaj(menu);
    count = favorites.FavDel(menu, 1, count);
    EXPECT_EQ(count, 2);
    favorites.FavZapisz(menu, count);
    EXPECT_EQ(contents(), "one\r\nthree\r\n");
    EXPECT_EQ(ids(), (std::vector<int>{40200, 40201}));
    // Then an added item takes the next free id.
    count = favorites.FavAdd(menu, u"four", count);
    EXPECT_EQ(ids(), (std::vector<int>{40200, 40201, 40202}));
    EXPECT_EQ(favoriteInsertText(menu, 40202), u"four ");
    EXPECT_EQ(favoriteInsertText(menu, 40201), u"three ");
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
    EXPECT_EQ(count, 98);
    EXPECT_EQ(menu.items().back().id, 40297);
    EXPECT_EQ(favorites.FavAdd(menu, u"one too many", count), 98);
    EXPECT_EQ(menu.size(), 98);
    EXPECT_NE(env.decodedLog().find("FavAdd\t\tAppendMenu"), std::string::npos);
    EXPECT_EQ(favorites.FavDel(menu, 98, count), 98);
    EXPECT_EQ(favorites.FavDel(menu, -1, count), 98);
    EXPECT_NE(env.decodedLog().find("FavDel\t\tDeleteMenu"), std::string::npos);
}

TEST_F(FavoritesTest, ChoosingAnItemInsertsAtMost63CharactersAndASpace) {
    menu.append(u"/join #a", 40200);
    menu.append(std::u16string(64, u'y'), 40201);
    EXPECT_EQ(favoriteInsertText(menu, 40200), u"/join #a ");
    EXPECT_EQ(favoriteInsertText(menu, 40201), std::u16string(63, u'y') + u" ");
    EXPECT_EQ(favoriteInsertText(menu, 40202), std::nullopt);
    EXPECT_EQ(favoriteInsertText(menu, FavoritesMenu::kAddId), std::nullopt);
}

TEST_F(FavoritesTest, TheRemovalListIsTheMenuEvenWhenTheFileDiffers) {
    put("a\r\n\xC5\x82\r\n");
    const int count = favorites.FavWczytaj(menu);
    put("");  // as after a failed save: the file no longer matches the menu
    favorites.FavAdd(menu, u"unsaved", count);
    const FavoritesListData data = Favorites::Fav2Listbox(menu);
    EXPECT_EQ(data.title, u"Favorites list");
    EXPECT_EQ(data.caption, u"Select sentence to remove:");
    EXPECT_EQ(data.sentences, (Sentences{u"a", u"\u0142", u"unsaved"}));
}

TEST_F(FavoritesTest, AFailedSaveLeavesTheOldFileWhole) {
    const std::string old = "keep me\r\n";
    put(old);
    for (int i = 0; i < 60; ++i) {
        menu.append(u"a fairly long favourite sentence number " + fromUtf8(std::to_string(i)),
                    40200 + i);
    }
    {
        test::FileSizeLimit limit(512);
        ASSERT_TRUE(limit.set());
        favorites.FavZapisz(menu, menu.size());
    }
    EXPECT_EQ(contents(), old);
    EXPECT_NE(env.decodedLog().find("FavZapisz\t\tWriteFile : " + std::to_string(EFBIG)),
              std::string::npos)
        << env.decodedLog();
    favorites.FavZapisz(menu, 0);
    EXPECT_EQ(contents(), "");
}

TEST_F(FavoritesTest, TheMenuTellsItsObserverOfEachChange) {
    CountingObserver observer;
    menu.setObserver(&observer);
    int count = favorites.FavAdd(menu, u"a", 0);
    count = favorites.FavAdd(menu, u"b", count);
    favorites.FavAdd(menu, u"dup", 0);  // id 40200 is taken: refused, no change
    favorites.FavDel(menu, 0, count);
    EXPECT_EQ(observer.changes, 3);
    EXPECT_EQ(texts(), Sentences{u"b"});
}

}  // namespace
}  // namespace kolu
