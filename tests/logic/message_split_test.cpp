// Messages cut to fit one relayed IRC line: 512 bytes with CR LF, after the
// server's ":nick!user@host " with room for 10 bytes of user and 63 of host.
#include "commands/message_split.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/text.h"

namespace kolu {
namespace {

using Text = std::u16string;
const Text kSay = u"PRIVMSG #a :", kAct = u"PRIVMSG #a :\u0001ACTION ", kMark = u"\u0001";

std::string relayed(const Text& nick, const Text& line) {
    return ":" + toUtf8(nick) + "!" + std::string(10, 'u') + "@" + std::string(63, 'h') + " " +
           toUtf8(line) + "\r\n";
}

TEST(MessageSplit, CutsAtTheLastBlankThatFitsOrInsideAWordWithout) {
    const std::size_t r = 512 - relayed(u"me", kSay).size();  // text bytes of a line from "me"
    const std::size_t a = 512 - relayed(u"me", kAct + kMark).size();
    auto x = [](std::size_t n) { return Text(n, u'x'); };
    struct Case {
        const char* name;
        Text text;
        std::vector<Text> pieces;
        Text nick = u"me", head = kSay, tail = u"";
    } cases[] = {
        {"exactly the room", x(r - 2) + u" b", {x(r - 2) + u" b"}},
        {"one byte over", x(r - 1) + u" b", {x(r - 1), u"b"}},
        {"blank just past the room", x(r) + u" b", {x(r), u"b"}},
        {"word longer than a piece", u"a " + x(r + 3), {u"a", x(r), u"xxx"}},
        {"leading blank is no cut", u" " + x(r), {u" " + x(r - 1), u"x"}},
        {"two bytes straddle", x(r - 1) + u"\u00e9", {x(r - 1), u"\u00e9"}},
        {"surrogate pair straddles", x(r - 3) + u"\U0001F600", {x(r - 3), u"\U0001F600"}},
        {"action marks take room", x(a - 2) + u" bc", {x(a - 2), u"bc"}, u"me", kAct, kMark},
        {"long nickname", x(r - 40) + u" " + x(30), {x(r - 40), x(30)}, Text(30, u'n')},
        {"no room at all", u"hi", {}, u"me", u"PRIVMSG " + Text(430, u'#') + u" :"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitMessage(c.text, c.nick, c.head, c.tail), c.pieces) << c.name;
    }
}

TEST(MessageSplit, EveryPieceFitsAndBlanksJoinThemBack) {
    const Text chars[] = {u" ", u"a", u"\u00f3", u"\u20ac", u"\U0001F600"};
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const Text nick(1 + round % 30, u'n'), head = round % 2 ? kAct : kSay;
        const Text tail = round % 2 ? kMark : u"";
        Text text = u"a";
        while (text.size() < 500 + 10 * round || text.back() == u' ') {
            text += chars[random() % 5];
        }
        Text joined;
        for (const Text& piece : splitMessage(text, nick, head, tail)) {
            ASSERT_FALSE(piece.empty());
            ASSERT_LE(relayed(nick, head + piece + tail).size(), 512u);
            ASSERT_EQ(fromUtf8(toUtf8(piece)), piece);  // no character cut in two
            joined += (joined.empty() ? u"" : u" ") + piece;
        }
        EXPECT_EQ(joined, text);
    }
}

}  // namespace
}  // namespace kolu
