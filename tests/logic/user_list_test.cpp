// The channel user list: its order, lookups and status changes, checked
// directly and against a literal model (append, then stable-sort the whole list;
// find by scanning every row) on random operations.
#include "ui/user_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Labels = std::vector<std::u16string>;

Labels labelsOf(const UserList& list) {
    Labels out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        out.push_back(list.at(i).label);
    }
    return out;
}

void fill(UserList& list, const Labels& names) {
    for (const std::u16string& name : names) {
        list.insert(name);
    }
}

TEST(UserListOrder, OperatorsThenVoicedThenOthersWhateverTheArrivalOrder) {
    Labels names{u"bob", u"+alice", u"@carol", u"dave", u"@Adam"};
    std::sort(names.begin(), names.end());
    const Labels expected{u"@Adam", u"@carol", u"+alice", u"bob", u"dave"};
    do {
        UserList list;
        fill(list, names);
        EXPECT_EQ(labelsOf(list), expected);
    } while (std::next_permutation(names.begin(), names.end()));
}

TEST(UserListOrder, FlagsAndKeysFollowThePrefix) {
    UserList list;
    fill(list, {u"@op", u"+voiced", u"plain"});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.at(0).flags, static_cast<std::uint32_t>(kOperatorFlag));
    EXPECT_EQ(list.at(0).sortKey, u"0op");
    EXPECT_EQ(list.at(1).flags, static_cast<std::uint32_t>(kVoiceFlag));
    EXPECT_EQ(list.at(1).sortKey, u"1voiced");
    EXPECT_EQ(list.at(2).flags, 0u);
    EXPECT_EQ(list.at(2).sortKey, u"plain");
}

TEST(UserListOrder, EqualKeysKeepArrivalOrder) {
    UserList list;
    fill(list, {u"Bob", u"alice", u"BOB", u"bob"});
    EXPECT_EQ(labelsOf(list), (Labels{u"alice", u"Bob", u"BOB", u"bob"}));
    list.insert(u"bOb");  // a newcomer goes after the equal ones already listed
    EXPECT_EQ(labelsOf(list), (Labels{u"alice", u"Bob", u"BOB", u"bob", u"bOb"}));
}

TEST(UserListFind, IgnoresOneStatusPrefixAndCase) {
    UserList list;
    fill(list, {u"@bob", u"alice", u"+carol"});
    struct Case {
        std::u16string_view query;
        int index;
    };
    for (const Case& c : {Case{u"bob", 0}, Case{u"@bob", 0}, Case{u"+BOB", 0}, Case{u"alice", 2},
                          Case{u"@alice", 2}, Case{u"CAROL", 1}, Case{u"@@bob", -1}, Case{u"", -1},
                          Case{u"@", -1}, Case{u"bo", -1}, Case{u"bobby", -1}}) {
        EXPECT_EQ(list.find(c.query), c.index) << std::string(c.query.begin(), c.query.end());
        EXPECT_EQ(list.contains(c.query), c.index >= 0);
    }
}

TEST(UserListFind, FirstMatchWinsAmongDuplicates) {
    UserList list;
    fill(list, {u"bob", u"@bob", u"+Bob"});
    EXPECT_EQ(labelsOf(list), (Labels{u"@bob", u"+Bob", u"bob"}));
    EXPECT_EQ(list.find(u"bob"), 0);
    ASSERT_TRUE(list.remove(u"BOB"));
    EXPECT_EQ(list.find(u"bob"), 0);
    EXPECT_EQ(list.at(0).label, u"+Bob");
}

TEST(UserListChange, VoiceAnOperatorThenDeop) {
    UserList list;
    fill(list, {u"@bob", u"@anna", u"+carl", u"+zoe", u"dan"});
    ASSERT_TRUE(list.changeMode(u"bob", kVoice));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"@bob", u"+carl", u"+zoe", u"dan"}));
    EXPECT_EQ(list.at(1).flags, static_cast<std::uint32_t>(kOperatorFlag | kVoiceFlag));
    ASSERT_TRUE(list.changeMode(u"bob", kDeop));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"+bob", u"+carl", u"+zoe", u"dan"}));
    ASSERT_TRUE(list.changeMode(u"bob", kDevoice));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"+carl", u"+zoe", u"bob", u"dan"}));
    EXPECT_EQ(list.at(3).sortKey, u"bob");
    EXPECT_FALSE(list.changeMode(u"nobody", kOp));
}

TEST(UserListChange, RenameKeepsThePrefixAndResorts) {
    UserList list;
    fill(list, {u"@alice", u"@bob", u"@carol", u"@zed", u"+bill", u"amy"});
    ASSERT_TRUE(list.rename(u"bob", u"rob"));
    EXPECT_EQ(labelsOf(list), (Labels{u"@alice", u"@carol", u"@rob", u"@zed", u"+bill", u"amy"}));
    EXPECT_EQ(list.at(2).sortKey, u"0rob");
    ASSERT_TRUE(list.rename(u"amy", u"Aaron"));
    EXPECT_EQ(list.at(5).label, u"Aaron");
    ASSERT_TRUE(list.rename(u"bill", u"abe"));
    EXPECT_EQ(list.at(4).label, u"+abe");
    EXPECT_EQ(list.find(u"bob"), -1);
    EXPECT_FALSE(list.rename(u"bob", u"x"));
}

TEST(UserListChange, RemoveKeepsTheOthersInOrder) {
    UserList list;
    fill(list, {u"@a", u"+b", u"c", u"d"});
    EXPECT_TRUE(list.remove(u"+b"));
    EXPECT_FALSE(list.remove(u"b"));
    EXPECT_EQ(labelsOf(list), (Labels{u"@a", u"c", u"d"}));
}

TEST(UserListHostile, LongNamesAreKeptWholeAndFoundByTheirReadLength) {
    UserList list;
    const std::u16string longName(10000, u'n');
    list.insert(u"@" + longName);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.at(0).label.size(), 10001u);
    EXPECT_EQ(list.at(0).sortKey.size(), UserList::kSortKeyLength);
    // A search reads 255 characters of a label, the prefix among them.
    EXPECT_EQ(list.find(longName.substr(0, 254)), 0);
    EXPECT_EQ(list.find(longName.substr(0, 255)), -1);
    EXPECT_EQ(list.find(longName), -1);
    // A key is never cut inside a surrogate pair.
    std::u16string pairs = u"0";
    for (int i = 0; i < 200; ++i) {
        pairs += u"\U0001F600";
    }
    list.insert(pairs);
    EXPECT_EQ(list.at(1).sortKey.size(), 255u);
    list.insert(u"x" + pairs);
    EXPECT_EQ(list.at(2).sortKey.size(), 254u);
}

// The list as the operations describe it, done the slow way: append and
// stable-sort the whole list after every change, find by scanning all rows.
class LiteralList {
  public:
    struct Row {
        std::u16string label;
        std::uint32_t flags = 0;
        std::u16string key;
    };
    std::vector<Row> rows;

    static std::u16string cut(std::u16string_view text, std::size_t length) {
        return std::u16string(cutAtWholeChar(text, length));
    }
    static std::u16string_view strip(std::u16string_view name) {
        if (!name.empty() && (name[0] == u'@' || name[0] == u'+')) {
            name.remove_prefix(1);
        }
        return name;
    }
    static std::u16string folded(std::u16string_view text) {
        std::u16string out;
        for (char16_t c : text) {
            out += foldCase(c);
        }
        return out;
    }
    void sort() {
        std::vector<std::pair<std::u16string, Row>> keyed;
        for (Row& row : rows) {
            keyed.emplace_back(folded(row.key), std::move(row));
        }
        std::stable_sort(keyed.begin(), keyed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        rows.clear();
        for (auto& [key, row] : keyed) {
            rows.push_back(std::move(row));
        }
    }
    int find(std::u16string_view nickname) const {
        const std::u16string_view wanted = strip(nickname);
        if (wanted.empty()) {
            return -1;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::u16string label = cut(rows[i].label, 255);
            if (equalsIgnoreCase(strip(label), wanted)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    void insert(std::u16string_view name) {
        Row row{std::u16string(name), 0, std::u16string(name)};
        if (!name.empty() && name[0] == u'+') {
            row = {row.label, 1, u"1" + std::u16string(name.substr(1))};
        } else if (!name.empty() && name[0] == u'@') {
            row = {row.label, 2, u"0" + std::u16string(name.substr(1))};
        }
        row.key = cut(row.key, 255);
        rows.push_back(row);
        sort();
    }
    bool remove(std::u16string_view nickname) {
        const int i = find(nickname);
        if (i >= 0) {
            rows.erase(rows.begin() + i);
        }
        return i >= 0;
    }
    bool rename(std::u16string_view from, std::u16string_view to) {
        const int i = find(from);
        if (i < 0) {
            return false;
        }
        Row& row = rows[i];
        const std::u16string label = cut(row.label, 250);
        if (!label.empty() && (label[0] == u'@' || label[0] == u'+')) {
            row.label = label.substr(0, 1) + std::u16string(to);
            row.key = cut(row.key.substr(0, 1) + std::u16string(to), 255);
        } else {
            row.label = std::u16string(to);
            row.key = cut(to, 255);
        }
        sort();
        return true;
    }
    bool changeMode(std::u16string_view nickname, int change) {
        const int i = find(nickname);
        if (i < 0) {
            return false;
        }
        Row& row = rows[i];
        row.flags = change == 2    ? row.flags | 2
                    : change == 1  ? row.flags | 1
                    : change == -2 ? row.flags & ~2u
                    : change == -1 ? row.flags & ~1u
                                   : row.flags;
        const std::u16string nick(nickname);
        row.label = row.flags >= 2 ? u"@" + nick : row.flags == 1 ? u"+" + nick : nick;
        row.key = cut(row.flags >= 2 ? u"0" + nick : row.flags == 1 ? u"1" + nick : nick, 255);
        sort();
        return true;
    }
};

// Names from a few letters of both cases, digits and a Latin-1 pair, so keys
// collide often; now and then a long one that only differs past the read length.
std::u16string randomName(std::mt19937& random) {
    static const std::u16string kLetters = u"aAbB01_\u00e9\u00c9";
    std::u16string name;
    const int prefix = random() % 6;
    if (prefix == 0) {
        name += u'@';
    } else if (prefix == 1) {
        name += u'+';
    } else if (prefix == 2 && random() % 4 == 0) {
        name += u"@+";
    }
    if (random() % 25 == 0) {
        name += std::u16string(253 + random() % 4, u'x');
        if (random() % 2) {
            name += u"\U0001F600";
        }
    }
    const int length = random() % 4;
    for (int i = 0; i < length; ++i) {
        name += kLetters[random() % kLetters.size()];
    }
    return name;
}

void expectSame(const UserList& list, const LiteralList& literal, int step) {
    ASSERT_EQ(list.size(), literal.rows.size()) << "step " << step;
    for (std::size_t i = 0; i < list.size(); ++i) {
        ASSERT_EQ(list.at(i).label, literal.rows[i].label) << "step " << step << " row " << i;
        ASSERT_EQ(list.at(i).flags, literal.rows[i].flags) << "step " << step << " row " << i;
        ASSERT_EQ(list.at(i).sortKey, literal.rows[i].key) << "step " << step << " row " << i;
    }
}

// Seed, and how often the whole list is compared: every step, or rarely so that
// insertions pile up between reads.
class UserListRandomTest : public ::testing::TestWithParam<std::tuple<unsigned, int>> {};

TEST_P(UserListRandomTest, MatchesTheLiteralList) {
    const auto [seed, compareEvery] = GetParam();
    std::mt19937 random(seed);
    UserList list;
    LiteralList literal;
    for (int step = 0; step < 1200; ++step) {
        const std::u16string name = randomName(random);
        const int action = random() % 20;
        if (action < 9) {
            list.insert(name);
            literal.insert(name);
        } else if (action < 12) {  // the checked add
            ASSERT_EQ(list.contains(name), literal.find(name) >= 0) << "step " << step;
            if (!list.contains(name)) {
                list.insert(name);
                literal.insert(name);
            }
        } else if (action < 14) {
            ASSERT_EQ(list.remove(name), literal.remove(name)) << "step " << step;
        } else if (action < 16) {
            const std::u16string to = randomName(random);
            ASSERT_EQ(list.rename(name, to), literal.rename(name, to)) << "step " << step;
        } else if (action < 18) {
            static const int kChanges[] = {2, 1, -2, -1, 0};
            const int change = kChanges[random() % 5];
            ASSERT_EQ(list.changeMode(name, static_cast<ModeChange>(change)),
                      literal.changeMode(name, change))
                << "step " << step;
        } else {
            ASSERT_EQ(list.find(name), literal.find(name)) << "step " << step;
        }
        if (step % compareEvery == 0) {
            expectSame(list, literal, step);
        }
    }
    expectSame(list, literal, -1);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UserListRandomTest,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u),
                                            ::testing::Values(1, 97)));

// Long runs of insertions between reads (a names reply) on a bigger list.
TEST(UserListRandom, ManyInsertionsBetweenReads) {
    std::mt19937 random(7);
    UserList list;
    LiteralList literal;
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 120; ++i) {
            const std::u16string name = randomName(random);
            list.insert(name);
            literal.insert(name);
        }
        expectSame(list, literal, round);
        for (int i = 0; i < 30; ++i) {
            const std::u16string name = randomName(random);
            ASSERT_EQ(list.find(name), literal.find(name));
        }
    }
}

// The registry-level operations find the list by channel name.
class ChannelListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.tabs().dodaj_zakladke(u"#chan");
        env.tabs().dodaj_zakladke(u"query");
    }
    Labels rows() { return labelsOf(*env.tabs().pobierz_hwndlist(u"#CHAN")); }

    test::HandlerEnv env;
};

TEST_F(ChannelListTest, DuplicateTestOnlyInTheCheckedAdd) {
    TabRegistry& tabs = env.tabs();
    EXPECT_EQ(dodaj_do_listy(tabs, u"#chan", u"bob"), 1);
    EXPECT_EQ(dodaj_do_listy(tabs, u"#chan", u"@BOB"), 0);
    EXPECT_EQ(rows(), (Labels{u"bob"}));
    EXPECT_EQ(DodajDoListyOpt(tabs, u"#chan", u"bob"), 1);
    EXPECT_EQ(rows(), (Labels{u"bob", u"bob"}));
    EXPECT_EQ(znajdz_w_liscie(tabs, u"#chan", u"+bob"), 0);
}

TEST_F(ChannelListTest, ChannelsWithoutAListFindAndChangeNothing) {
    TabRegistry& tabs = env.tabs();
    for (std::u16string_view channel : {u"#none", u"query", u""}) {
        EXPECT_EQ(dodaj_do_listy(tabs, channel, u"bob"), 1);
        EXPECT_EQ(znajdz_w_liscie(tabs, channel, u"bob"), -1);
        EXPECT_EQ(usun_z_listy(tabs, channel, u"bob"), 0);
        EXPECT_EQ(zmien_nick_w_liscie(tabs, channel, u"bob", u"rob"), 0);
        EXPECT_EQ(ZmienMod(tabs, env.env.session.sounds, channel, u"bob", kOp), 1);
    }
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(env.soundsPlayed().empty());
}

TEST_F(ChannelListTest, StatusChangesPlayTheirSoundOnlyForListedUsers) {
    TabRegistry& tabs = env.tabs();
    for (std::u16string_view event : {u"op", u"voice", u"deop", u"devoice"}) {
        env.setSound(event, std::u16string(event) + u".wav");
    }
    dodaj_do_listy(tabs, u"#chan", u"bob");
    EventSounds& sounds = env.env.session.sounds;
    ZmienMod(tabs, sounds, u"#chan", u"bob", kOp);
    ZmienMod(tabs, sounds, u"#chan", u"bob", kVoice);
    ZmienMod(tabs, sounds, u"#chan", u"bob", kDeop);
    ZmienMod(tabs, sounds, u"#chan", u"bob", kDevoice);
    ZmienMod(tabs, sounds, u"#chan", u"carol", kOp);
    ZmienMod(tabs, sounds, u"#chan", u"bob", static_cast<ModeChange>(5));
    EXPECT_EQ(env.soundsPlayed(),
              (std::vector<std::string>{"op.wav", "voice.wav", "deop.wav", "devoice.wav"}));
    EXPECT_EQ(rows(), (Labels{u"bob"}));
    EXPECT_EQ(zmien_nick_w_liscie(tabs, u"#chan", u"BOB", u"rob"), 1);
    EXPECT_EQ(usun_z_listy(tabs, u"#chan", u"rob"), 1);
    EXPECT_EQ(usun_z_listy(tabs, u"#chan", u"rob"), 0);
}

}  // namespace
}  // namespace kolu
