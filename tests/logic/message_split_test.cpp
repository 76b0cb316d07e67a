// Messages cut to fit one relayed IRC line: 512 bytes with CR LF, after the
// server's ":nick!user@host " with room for 10 bytes of user and 63 of host.
#include "commands/message_split.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/text.h"

namespace kolu {
namespace {

const std::u16string kSay = u"PRIVMSG #a :";
const std::u16string kAct = u"PRIVMSG #a :\u0001ACTION ";

// Bytes left for the text of one line.
std::size_t room(std::u16string_view nick, std::u16string_view head, std::u16string_view tail) {
    const std::size_t prefix = 1 + toUtf8(nick).size() + 1 + 10 + 1 + 63 + 1;
    return 510 - prefix - toUtf8(head).size() - toUtf8(tail).size();
}

std::u16string run(std::size_t n, char16_t c = u'a') {
    return std::u16string(n, c);
}

TEST(MessageSplit, CutsAtTheLastBlankThatFitsOrInsideAWordWithout) {
    const std::size_t r = room(u"me", kSay, u"");
    const std::u16string nick30 = run(30, u'n');
    const std::size_t a = room(u"me", kAct, u"\u0001");
    struct Case {
        const char* name;
        std::u16string nick, head, tail, text;
        std::vector<std::u16string> pieces;
    } cases[] = {
        {"exactly the room", u"me", kSay, u"", run(r - 2) + u" b", {run(r - 2) + u" b"}},
        {"one byte over", u"me", kSay, u"", run(r - 1) + u" b", {run(r - 1), u"b"}},
        {"blank just past the room", u"me", kSay, u"", run(r) + u" b", {run(r), u"b"}},
        {"word longer than a piece", u"me", kSay, u"", u"x " + run(r + 3), {u"x", run(r), u"aaa"}},
        {"leading blank is no cut", u"me", kSay, u"", u" " + run(r), {u" " + run(r - 1), u"a"}},
        {"two-byte character straddles",
         u"me",
         kSay,
         u"",
         run(r - 1) + u"\u00e9",
         {run(r - 1), u"\u00e9"}},
        {"surrogate pair straddles",
         u"me",
         kSay,
         u"",
         run(r - 3) + u"\U0001F600",
         {run(r - 3), u"\U0001F600"}},
        {"action marks take room",
         u"me",
         kAct,
         u"\u0001",
         run(a - 2) + u" bc",
         {run(a - 2), u"bc"}},
        {"a long nickname shrinks the room",
         nick30,
         kSay,
         u"",
         run(r - 40) + u" " + run(30, u'b'),
         {run(r - 40), run(30, u'b')}},
        {"no room at all", u"me", u"PRIVMSG " + run(430, u'#') + u" :", u"", u"hi", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitMessage(c.text, c.nick, c.head, c.tail), c.pieces) << c.name;
    }
}

TEST(MessageSplit, EveryPieceFitsAndBlanksJoinThemBack) {
    const std::u16string chars[] = {u"a", u"\u00f3", u"\u20ac", u"\U0001F600"};
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const std::u16string nick = run(1 + random() % 30, u'n');
        const bool action = random() % 2;
        std::u16string text;
        for (int words = 1 + random() % 200; words > 0; --words) {
            text += text.empty() ? u"" : u" ";
            for (int n = 1 + random() % 40; n > 0; --n) {
                text += chars[random() % 4];
            }
        }
        const std::u16string head = action ? kAct : kSay;
        const std::u16string tail = action ? u"\u0001" : u"";
        const std::vector<std::u16string> pieces = splitMessage(text, nick, head, tail);
        std::u16string joined;
        for (const std::u16string& piece : pieces) {
            ASSERT_FALSE(piece.empty());
            const std::string relayed = ":" + toUtf8(nick) + "!" + std::string(10, 'u') + "@" +
                                        std::string(63, 'h') + " " + toUtf8(head + piece + tail) +
                                        "\r\n";
            ASSERT_LE(relayed.size(), 512u);
            ASSERT_EQ(fromUtf8(toUtf8(piece)), piece);  // no character cut in two
            joined += (joined.empty() ? u"" : u" ") + piece;
        }
        EXPECT_EQ(joined, text);
    }
}

}  // namespace
}  // namespace kolu
