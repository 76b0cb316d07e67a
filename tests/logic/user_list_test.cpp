// The channel user list checked against a literal model on random operations
// under several PREFIX sets.
#include "ui/user_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"

namespace kolu {
namespace {

// The list done the slow way: each row's label and key derive from the highest
// mode it holds; append and stable-sort the whole list after every change, find
// by scanning all rows.
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

    std::u16string_view strip(std::u16string_view name) const {
        while (!name.empty() && rankSymbols.find(name[0]) != std::u16string::npos) {
            name.remove_prefix(1);
        }
        return name;
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
        row.key = std::u16string(cutAtWholeChar(row.key, 255));
    }
    void sort() {
        std::ranges::stable_sort(rows, [](const Row& a, const Row& b) {
            return std::ranges::lexicographical_compare(a.key, b.key, {}, foldCase, foldCase);
        });
    }
    int find(std::u16string_view nickname) const {
        const std::u16string_view wanted = strip(nickname);
        if (wanted.empty()) {
            return -1;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (equalsIgnoreCase(strip(cutAtWholeChar(rows[i].label, 255)), wanted)) {
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

// Seed, how often the whole list is compared (rarely lets insertions pile up
// between reads), and the announced ranks.
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

}  // namespace
}  // namespace kolu
