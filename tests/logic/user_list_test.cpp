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

// The list done the slow way: relabel and stable-sort the whole list after every
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
    std::u16string rankModes;
    std::u16string rankSymbols;

    explicit LiteralList(std::u16string_view prefix) { setRanks(prefix); }
    std::u16string_view strip(std::u16string_view name) const {
        while (!name.empty() && rankSymbols.find(name[0]) != std::u16string::npos) {
            name.remove_prefix(1);
        }
        return name;
    }
    // Each row's label and key from the highest mode it holds, then the stable sort.
    void settle() {
        for (Row& row : rows) {
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
        std::ranges::stable_sort(rows, [](const Row& a, const Row& b) {
            return std::ranges::lexicographical_compare(a.key, b.key, {}, foldCase, foldCase);
        });
    }
    int find(std::u16string_view nickname) const {
        const std::u16string_view wanted = strip(nickname);  // "" finds nothing
        for (std::size_t i = 0; !wanted.empty() && i < rows.size(); ++i) {
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
        rows.push_back(row);
        settle();
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
        settle();
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
        settle();
        return true;
    }
    // A row keeps the nickname it answered to under the old ranks.
    void setRanks(std::u16string_view prefix) {
        for (Row& row : rows) {
            row.nick = std::u16string(strip(row.nick));
        }
        rankModes = prefix.substr(1, prefix.find(u')') - 1);
        rankSymbols = prefix.substr(prefix.find(u')') + 1);
        std::erase_if(rows, [&](const Row& row) { return strip(row.nick).empty(); });
        for (Row& row : rows) {
            std::erase_if(row.modes,
                          [&](char16_t m) { return rankModes.find(m) == std::u16string::npos; });
        }
        settle();
    }
};

// The PREFIX sets the random tests run under: the default, a big one whose
// symbols sort on both sides of letters and digits, a single rank, none.
const std::u16string_view kRankSets[] = {u"(ov)@+", u"(qaohv)~&@%+", u"(y)!", u"()"};

// Names from a few letters of both cases, digits and a Latin-1 pair, so keys
// collide often, behind none, one or several rank symbols (or one that is no
// rank); now and then a long one that only differs past the read length.
std::u16string randomName(std::mt19937& random, const LiteralList& literal) {
    static const std::u16string kLetters = u"aAbB01_\u00e9\u00c9";
    std::u16string name;
    const std::u16string symbols = literal.rankSymbols + u"@+";
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
// between reads; once a long run of them comes at once), and the announced ranks.
class UserListRandomTest
    : public ::testing::TestWithParam<std::tuple<unsigned, int, std::u16string_view>> {};

TEST_P(UserListRandomTest, MatchesTheLiteralList) {
    const auto [seed, compareEvery, announced] = GetParam();
    std::mt19937 random(seed);
    std::u16string_view current = announced;
    UserList list(*MemberRanks::parse(current));
    LiteralList literal(current);
    for (int step = 0; step < 1200; ++step) {
        const std::u16string name = randomName(random, literal);
        for (int run = step == 600 ? 150 : 0; run > 0; --run) {  // as a names reply brings
            const std::u16string added = randomName(random, literal);
            list.insert(added);
            literal.insert(added);
        }
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
            const std::u16string to = randomName(random, literal);
            ASSERT_EQ(list.rename(name, to), literal.rename(name, to)) << "step " << step;
        } else if (action < 36) {
            const std::u16string modes = literal.rankModes + u"ovx";
            const char16_t mode = modes[random() % modes.size()];
            const bool granted = random() % 2 == 0;
            ASSERT_EQ(list.changeRank(name, mode, granted), literal.changeRank(name, mode, granted))
                << "step " << step;
        } else if (action < 39) {
            ASSERT_EQ(list.find(name), literal.find(name)) << "step " << step;
        } else if (random() % 8 == 0) {  // a late 005 swaps the ranks
            current = current == announced ? u"(ov)@+" : announced;
            list.setRanks(*MemberRanks::parse(current));
            literal.setRanks(current);
        }
        if (step % compareEvery == 0) {
            expectSame(list, literal, step);
        }
    }
    expectSame(list, literal, -1);
}

// What is known of a member lives while a row of it does, and follows it.
TEST(UserListDetails, KeptPerMemberUntilItsLastRowGoesAndFollowARename) {
    UserList list;
    for (const char16_t* name : {u"@Ann", u"bob", u"bob", u"+carol", u"!x"}) {
        list.insert(name);
    }
    EXPECT_EQ(list.editDetails(u"nobody"), nullptr);
    EXPECT_EQ(list.details(u"ann"), nullptr);  // listed, nothing known
    list.editDetails(u"+ANN")->account = u"annacct";
    list.editDetails(u"bob")->away = true;
    list.editDetails(u"!x")->userHost = u"x@h";

    // Two rows of bob: the record stays until both are gone, and a new row starts afresh.
    list.remove(u"bob");
    ASSERT_NE(list.details(u"BOB"), nullptr);
    EXPECT_TRUE(list.details(u"BOB")->away);
    list.remove(u"bob");
    list.insert(u"bob");
    EXPECT_EQ(list.details(u"bob"), nullptr);

    // A rename, also to another case of the same name, and a rank change keep it.
    list.rename(u"ann", u"anna");
    EXPECT_EQ(list.details(u"ann"), nullptr);
    list.rename(u"anna", u"ANNA");
    list.changeRank(u"anna", u'v', true);
    EXPECT_EQ(list.details(u"@Anna")->account, u"annacct");

    // A late 005 that makes "!" a rank leaves x no nickname: its row and record go.
    list.setRanks(*MemberRanks::parse(u"(yov)!@+"));
    EXPECT_EQ(list.details(u"!x"), nullptr);
    EXPECT_EQ(list.details(u"anna")->account, u"annacct");
    list.clear();
    EXPECT_EQ(list.details(u"anna"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UserListRandomTest,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u), ::testing::Values(1, 97),
                                            ::testing::ValuesIn(kRankSets)));

}  // namespace
}  // namespace kolu
