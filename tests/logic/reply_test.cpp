#include "protocol/reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace kolu {
namespace {

// UTF-8 words compare and print readably in failure messages.
std::vector<std::string> wordsOf(const Reply& reply) {
    std::vector<std::string> words;
    for (int i = 0; i < reply.count; ++i) {
        words.push_back(toUtf8(reply.word(i)));
    }
    return words;
}

struct TokeniserCase {
    const char16_t* line;
    std::vector<std::string> words;
};

TEST(Tokeniser, SplitsLinesIntoAtMostFourWords) {
    const TokeniserCase cases[] = {
        {u":nick!user@host PRIVMSG #chan :hello there",
         {"nick!user@host", "PRIVMSG", "#chan", "hello there"}},
        {u"PING :abc123", {"PING", "abc123"}},
        {u":srv 001 me :Welcome to the network", {"srv", "001", "me", "Welcome to the network"}},
        {u"a  b", {"a", "", "b"}},
        {u"PING :x", {"PING", "x"}},
        // Unprefixed lines shift left; word 3 keeps its inner colons.
        {u"ERROR :Closing Link: host (Quit: bye)",
         {"ERROR", "Closing", "Link:", "host (Quit: bye)"}},
        {u":srv 353 me = #chan :@op +v plain", {"srv", "353", "me", "= #chan :@op +v plain"}},
        {u"a b c d e f", {"a", "b", "c", "d e f"}},
        // Only one colon is removed, from the start of any word.
        {u"a b c ::d e", {"a", "b", "c", ":d e"}},
        {u"a :b :c", {"a", "b", "c"}},
        {u"a:b c:d", {"a:b", "c:d"}},
        {u"WORD", {"WORD"}},
        {u":", {""}},
        {u":srv 001 me :", {"srv", "001", "me", ""}},
        {u" lead", {"", "lead"}},
        // A blank after the third word starts an empty fourth only when more follows.
        {u"a b c ", {"a", "b", "c"}},
        {u"a b c  ", {"a", "b", "c", " "}},
        {u"x  ", {"x", ""}},
        {u"", {}},
    };
    for (const TokeniserCase& c : cases) {
        Reply reply;
        const int count = tworz_odpowiedz(c.line, reply);
        EXPECT_EQ(count, static_cast<int>(c.words.size())) << toUtf8(c.line);
        EXPECT_EQ(reply.count, count);
        EXPECT_EQ(wordsOf(reply), c.words) << toUtf8(c.line);
    }
}

TEST(Tokeniser, WordsBeyondTheCountReadEmptyAfterReuse) {
    Reply reply;
    ASSERT_EQ(tworz_odpowiedz(u":a b c :d", reply), 4);
    ASSERT_EQ(tworz_odpowiedz(u"PING :x", reply), 2);
    EXPECT_EQ(reply.word(1), u"x");
    for (int i : {-1, 2, 3, 4, 100}) {
        EXPECT_TRUE(reply.word(i).empty()) << i;
        EXPECT_TRUE(i < 0 || i >= 4 || reply.words[static_cast<std::size_t>(i)].empty()) << i;
    }
    zwolnij_odpowiedz(reply);
    EXPECT_EQ(reply.count, 0);
    EXPECT_TRUE(reply.word(0).empty());
    EXPECT_TRUE(reply.words[0].empty());
}

TEST(Tokeniser, KeepsNonAsciiAndControlCharactersInsideWords) {
    Reply reply;
    ASSERT_EQ(tworz_odpowiedz(u":\u0142\u00f3d\u017a PRIVMSG #k :\U0001F600 a\tb", reply), 4);
    EXPECT_EQ(reply.word(0), u"\u0142\u00f3d\u017a");
    EXPECT_EQ(reply.word(3), u"\U0001F600 a\tb");
    const std::u16string withNul(u"PING :a\0b c", 11);
    ASSERT_EQ(tworz_odpowiedz(withNul, reply), 3);
    EXPECT_EQ(reply.word(1), std::u16string(u"a\0b", 3));
    EXPECT_EQ(reply.word(2), u"c");
}

TEST(Source, SplitsAtTheFirstBang) {
    struct Case {
        const char16_t* source;
        const char16_t* nick;
        const char16_t* userHost;
    } cases[] = {
        {u"nick!user@host", u"nick", u"user@host"},
        {u"irc.example.net", u"irc.example.net", u""},
        {u"a!b!c", u"a", u"b!c"},
        {u"!x", u"", u"x"},
        {u"n!", u"n", u""},
        {u"", u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sourceNick(c.source), c.nick) << toUtf8(c.source);
        EXPECT_EQ(sourceUserHost(c.source), c.userHost) << toUtf8(c.source);
    }
}

}  // namespace
}  // namespace kolu
