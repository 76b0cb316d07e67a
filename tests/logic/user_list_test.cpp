// The channel user list: its order, lookups and rank changes, checked
// directly and against a literal model (append, then stable-sort the whole list;
// find by scanning every row) on random operations under several PREFIX sets.
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

TEST(UserListFind, IgnoresRankSymbolsAndCase) {
    UserList list;
    fill(list, {u"@bob", u"alice", u"+carol"});
    struct Case {
        std::u16string_view query;
        int index;
    };
    for (const Case& c : {Case{u"bob", 0}, Case{u"@bob", 0}, Case{u"+BOB", 0}, Case{u"alice", 2},
                          Case{u"@alice", 2}, Case{u"CAROL", 1}, Case{u"@+bob", 0}, Case{u"", -1},
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
    ASSERT_TRUE(list.changeRank(u"bob", u'v', true));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"@bob", u"+carl", u"+zoe", u"dan"}));
    EXPECT_EQ(list.at(1).flags, static_cast<std::uint32_t>(kOperatorFlag | kVoiceFlag));
    ASSERT_TRUE(list.changeRank(u"bob", u'o', false));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"+bob", u"+carl", u"+zoe", u"dan"}));
    ASSERT_TRUE(list.changeRank(u"bob", u'v', false));
    EXPECT_EQ(labelsOf(list), (Labels{u"@anna", u"+carl", u"+zoe", u"bob", u"dan"}));
    EXPECT_EQ(list.at(3).sortKey, u"bob");
    EXPECT_FALSE(list.changeRank(u"nobody", u'o', true));
    EXPECT_FALSE(list.changeRank(u"bob", u'h', true));  // not announced
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

// The list as the operations describe it, done the slow way: each row keeps
// its nickname and the mode letters it holds, its label and key are derived
// from the highest of them; append and stable-sort the whole list after every
// change, find by scanning all rows.
class LiteralList {
  public:
    struct Row {
        std::u16string nick;
        std::u16string modes;  // held, in any order
        std::u16string label;
        std::u16string key;
    };
    std::vector<Row> rows;
    // The announced ranks, highest first, as a PREFIX value spells them.
    std::u16string rankModes = u"ov";
    std::u16string rankSymbols = u"@+";

    static std::u16string cut(std::u16string_view text, std::size_t length) {
        return std::u16string(cutAtWholeChar(text, length));
    }
    std::u16string_view strip(std::u16string_view name) const {
        while (!name.empty() && rankSymbols.find(name[0]) != std::u16string::npos) {
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
    void describe(Row& row) const {
        std::size_t best = rankModes.size();
        for (char16_t mode : row.modes) {
            best = std::min(best, rankModes.find(mode));
        }
        row.label = row.nick;
        row.key = row.nick;
        if (best < rankModes.size()) {
            row.label.insert(row.label.begin(), rankSymbols[best]);
            row.key.insert(row.key.begin(), static_cast<char16_t>(u'0' + best));
        }
        row.key = cut(row.key, 255);
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
        Row row{std::u16string(strip(name)), {}, {}, {}};
        if (row.nick.empty()) {
            return;
        }
        for (char16_t c : name.substr(0, name.size() - row.nick.size())) {
            row.modes += rankModes[rankSymbols.find(c)];
        }
        describe(row);
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
        if (i < 0 || strip(to).empty()) {
            return false;
        }
        rows[i].nick = std::u16string(strip(to));
        describe(rows[i]);
        sort();
        return true;
    }
    bool changeRank(std::u16string_view nickname, char16_t mode, bool granted) {
        const int i = rankModes.find(mode) == std::u16string::npos ? -1 : find(nickname);
        if (i < 0) {
            return false;
        }
        Row& row = rows[i];
        std::erase(row.modes, mode);
        if (granted) {
            row.modes += mode;
        }
        row.nick = std::u16string(strip(nickname));
        describe(row);
        sort();
        return true;
    }
    // A row keeps the nickname it answered to under the old ranks.
    void setRanks(std::u16string_view modes, std::u16string_view symbols) {
        for (Row& row : rows) {
            row.nick = std::u16string(strip(row.nick));
        }
        rankModes = modes;
        rankSymbols = symbols;
        std::erase_if(rows, [&](const Row& row) { return strip(row.nick).empty(); });
        for (Row& row : rows) {
            std::erase_if(row.modes,
                          [&](char16_t m) { return rankModes.find(m) == std::u16string::npos; });
            describe(row);
        }
        sort();
    }
};

// The PREFIX sets the random tests run under: the default, a big one whose
// symbols sort on both sides of letters and digits, a single rank, none.
const std::u16string_view kRankSets[] = {u"(ov)@+", u"(qaohv)~&@%+", u"(y)!", u"()"};

struct RankSet {
    explicit RankSet(std::u16string_view value)
        : ranks(*MemberRanks::parse(value)),
          modes(value.substr(1, value.find(u')') - 1)),
          symbols(value.substr(value.find(u')') + 1)) {}
    MemberRanks ranks;
    std::u16string modes;
    std::u16string symbols;
};

// Names from a few letters of both cases, digits and a Latin-1 pair, so keys
// collide often, behind none, one or several rank symbols (or one that is no
// rank); now and then a long one that only differs past the read length.
std::u16string randomName(std::mt19937& random, const RankSet& set) {
    static const std::u16string kLetters = u"aAbB01_\u00e9\u00c9";
    std::u16string name;
    const std::u16string symbols = set.symbols + u"@+";
    for (int count = random() % 4 == 0 ? static_cast<int>(random() % 3) : 1 - random() % 2;
         count > 0; --count) {
        name += symbols[random() % symbols.size()];
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
        ASSERT_EQ(list.at(i).sortKey, literal.rows[i].key) << "step " << step << " row " << i;
    }
}

// Seed, how often the whole list is compared (every step, or rarely so that
// insertions pile up between reads), and the announced ranks.
class UserListRandomTest
    : public ::testing::TestWithParam<std::tuple<unsigned, int, std::u16string_view>> {};

TEST_P(UserListRandomTest, MatchesTheLiteralList) {
    const auto [seed, compareEvery, rankValue] = GetParam();
    std::mt19937 random(seed);
    const RankSet announced(rankValue);
    const RankSet standard(u"(ov)@+");
    const RankSet* current = &announced;
    UserList list(announced.ranks);
    LiteralList literal;
    literal.setRanks(announced.modes, announced.symbols);
    for (int step = 0; step < 1200; ++step) {
        const std::u16string name = randomName(random, *current);
        const int action = random() % 40;
        if (action < 18) {
            list.insert(name);
            literal.insert(name);
        } else if (action < 24) {  // the checked add
            ASSERT_EQ(list.contains(name), literal.find(name) >= 0) << "step " << step;
            if (!list.contains(name)) {
                list.insert(name);
                literal.insert(name);
            }
        } else if (action < 28) {
            ASSERT_EQ(list.remove(name), literal.remove(name)) << "step " << step;
        } else if (action < 32) {
            const std::u16string to = randomName(random, *current);
            ASSERT_EQ(list.rename(name, to), literal.rename(name, to)) << "step " << step;
        } else if (action < 36) {
            const std::u16string modes = current->modes + u"ovx";
            const char16_t mode = modes[random() % modes.size()];
            const bool granted = random() % 2 == 0;
            ASSERT_EQ(list.changeRank(name, mode, granted), literal.changeRank(name, mode, granted))
                << "step " << step;
        } else if (action < 39) {
            ASSERT_EQ(list.find(name), literal.find(name)) << "step " << step;
        } else if (random() % 8 == 0) {  // a late 005 swaps the ranks
            current = current == &announced ? &standard : &announced;
            list.setRanks(current->ranks);
            literal.setRanks(current->modes, current->symbols);
        }
        if (step % compareEvery == 0) {
            expectSame(list, literal, step);
        }
    }
    expectSame(list, literal, -1);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UserListRandomTest,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u), ::testing::Values(1, 97),
                                            ::testing::ValuesIn(kRankSets)));

// Long runs of insertions between reads (a names reply) on a bigger list.
TEST(UserListRandom, ManyInsertionsBetweenReads) {
    std::mt19937 random(7);
    const RankSet set(u"(qaohv)~&@%+");
    UserList list(set.ranks);
    LiteralList literal;
    literal.setRanks(set.modes, set.symbols);
    for (int round = 0; round < 8; ++round) {
        for (int i = 0; i < 120; ++i) {
            const std::u16string name = randomName(random, set);
            list.insert(name);
            literal.insert(name);
        }
        expectSame(list, literal, round);
        for (int i = 0; i < 30; ++i) {
            const std::u16string name = randomName(random, set);
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
        EXPECT_EQ(ZmienMod(tabs, env.env.session.sounds, channel, u"bob", u'o', true), 1);
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
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'o', true);
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'v', true);
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'o', false);
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'v', false);
    ZmienMod(tabs, sounds, u"#chan", u"carol", u'o', true);
    tabs.setMemberRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'h', true);  // no sound of its own
    ZmienMod(tabs, sounds, u"#chan", u"bob", u'h', false);
    EXPECT_EQ(env.soundsPlayed(),
              (std::vector<std::string>{"op.wav", "voice.wav", "deop.wav", "devoice.wav"}));
    EXPECT_EQ(rows(), (Labels{u"bob"}));
    EXPECT_EQ(zmien_nick_w_liscie(tabs, u"#chan", u"BOB", u"rob"), 1);
    EXPECT_EQ(usun_z_listy(tabs, u"#chan", u"rob"), 1);
    EXPECT_EQ(usun_z_listy(tabs, u"#chan", u"rob"), 0);
}

}  // namespace
}  // namespace kolu
