#include "protocol/string_ops.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace kolu {
namespace {

TEST(StringOps, CopyCharsCopiesACountedRun) {
    struct Case {
        const char16_t* source;
        int n;
        const char16_t* expected;
    } cases[] = {
        {u"abcdef", 3, u"abc"}, {u"abcdef", 6, u"abcdef"}, {u"abcdef", 0, u""},
        {u"abcdef", -5, u""},   {u"ab", 10, u"ab"},        {u"", 3, u""},
        {u"a b c", 4, u"a b "},
    };
    for (const Case& c : cases) {
        std::u16string destination = u"old contents";
        CopyChars(destination, c.source, c.n);
        EXPECT_EQ(destination, c.expected) << toUtf8(c.source) << " n=" << c.n;
    }
}

TEST(StringOps, TrimRightRemovesTrailingBlanksOnly) {
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    } cases[] = {
        {u"abc   ", u"abc"},    {u"abc", u"abc"},
        {u"   ", u""},          {u"", u""},
        {u"  a b  ", u"  a b"}, {u"tab\t", u"tab\t"},
        {u"x \t ", u"x \t"},    {u"nbsp\u00a0", u"nbsp\u00a0"},
        {u"cr\r  ", u"cr\r"},
    };
    for (const Case& c : cases) {
        std::u16string text = c.text;
        TrimRight(text);
        EXPECT_EQ(text, c.expected) << toUtf8(c.text);
    }
}

TEST(StringOps, SplitAtCutsAtTheFirstSeparator) {
    struct Case {
        const char16_t* source;
        char16_t separator;
        const char16_t* before;
        std::size_t next;
    } cases[] = {
        {u"user@host", u'@', u"user", 5}, {u"a,b,c", u',', u"a", 2},
        {u"none", u',', u"none", 4},      {u",lead", u',', u"", 1},
        {u"trail,", u',', u"trail", 6},   {u"", u',', u"", 0},
        {u"a,,b", u',', u"a", 2},
    };
    for (const Case& c : cases) {
        std::u16string before = u"old";
        const std::u16string_view source = c.source;
        const std::size_t next = SplitAt(before, source, c.separator);
        EXPECT_EQ(before, c.before) << toUtf8(c.source);
        EXPECT_EQ(next, c.next) << toUtf8(c.source);
        EXPECT_LE(next, source.size());
    }
}

TEST(StringOps, SplitAtSignGivesUserAndMailHost) {
    struct Case {
        const char16_t* email;
        const char16_t* user;
        const char16_t* host;
    } cases[] = {
        {u"jan@example.org", u"jan", u"example.org"},
        {u"no-at-sign", u"no-at-sign", u""},  // login refuses: the mail host is empty
        {u"a@b@c", u"a", u"b@c"},
        {u"@host", u"", u"host"},
        {u"user@", u"user", u""},
    };
    for (const Case& c : cases) {
        std::u16string user;
        const std::u16string_view email = c.email;
        const std::size_t next = SplitAtSign(user, email);
        EXPECT_EQ(user, c.user) << toUtf8(c.email);
        EXPECT_EQ(email.substr(next), c.host) << toUtf8(c.email);
    }
}

TEST(StringOps, NextWordStopsAtTheBlankWithoutPassingIt) {
    struct Case {
        const char16_t* text;
        std::size_t position;
        const char16_t* word;
        std::size_t next;
    } cases[] = {
        {u"+o-v nick1 nick2", 0, u"+o-v", 4},
        {u"+o-v nick1 nick2", 5, u"nick1", 10},
        {u"+o-v nick1 nick2", 11, u"nick2", 16},
        {u"+o-v nick1 nick2", 4, u"", 4},  // at a blank: empty word, no progress
        {u"+o-v nick1 nick2", 16, u"", 16},
        {u"+o-v nick1 nick2", 99, u"", 16},
        {u"single", 0, u"single", 6},
        {u"", 0, u"", 0},
    };
    for (const Case& c : cases) {
        std::u16string word = u"old";
        EXPECT_EQ(NextWord(word, c.text, c.position), c.next)
            << toUtf8(c.text) << " @" << c.position;
        EXPECT_EQ(word, c.word) << toUtf8(c.text) << " @" << c.position;
    }
}

TEST(StringOps, NextWordWalksEveryWordOfAModeLine) {
    const std::u16string_view modes = u"+ov-b alice bob *!*@spam";
    std::vector<std::u16string> words;
    std::size_t position = 0;
    while (position < modes.size()) {
        std::u16string word;
        position = NextWord(word, modes, position);
        words.push_back(word);
        if (position < modes.size()) {
            ++position;  // the caller steps over the blank
        }
    }
    EXPECT_EQ(words, (std::vector<std::u16string>{u"+ov-b", u"alice", u"bob", u"*!*@spam"}));
}

}  // namespace
}  // namespace kolu
