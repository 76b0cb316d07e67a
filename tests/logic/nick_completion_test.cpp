#include "commands/nick_completion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/dispatcher.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;

// The client is "me" in #kolu; speakers are noted by the real handlers.
class NickCompletionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        h.state().currentNick = u"me";
        h.dispatch(u":me!m@home JOIN #kolu");
        for (const char16_t* name : {u"@Amy", u"+adam", u"al", u"Alice", u"bob"}) {
            DodajDoListyOpt(h.tabs(), u"#kolu", name);
        }
    }
    CompletedLine complete(std::u16string_view text, std::size_t caret) {
        return nicks.complete(text, caret, false).value_or(CompletedLine{u"(none)"});
    }
    // The lines left by `tabs` Tabs on `text`, the caret at its end.
    Lines cycle(std::u16string_view text, int tabs) {
        Lines shown;
        std::u16string line(text);
        for (std::size_t caret = line.size(); tabs-- > 0;) {
            const std::optional<CompletedLine> completed = nicks.complete(line, caret, false);
            if (!completed) {
                break;
            }
            line = completed->text;
            caret = completed->caret;
            shown.push_back(line);
        }
        return shown;
    }

    test::HandlerEnv h;
    NickCompletion nicks{h.tabs()};
};

TEST_F(NickCompletionTest, RecentSpeakersFirstThenMembersInListOrderWrappingAround) {
    h.dispatch(u":al!a@h PRIVMSG #kolu :hello");
    h.dispatch(u":Alice!a@h PRIVMSG #kolu :\u0001ACTION waves\u0001");
    // Neither a private line nor one from outside the channel counts.
    h.dispatch(u":adam!a@h PRIVMSG me :psst");
    h.dispatch(u":ann!a@h PRIVMSG #kolu :from outside");
    EXPECT_EQ(cycle(u"A", 5), (Lines{u"Alice: ", u"al: ", u"Amy: ", u"adam: ", u"Alice: "}));
}

TEST_F(NickCompletionTest, LeavingOrRenamingUpdatesTheRecentSpeakers) {
    h.dispatch(u":Amy!a@h PRIVMSG #kolu :one");
    h.dispatch(u":al!a@h PRIVMSG #kolu :two");
    h.dispatch(u":al!a@h PART #kolu");
    h.dispatch(u":al!a@h JOIN #kolu");
    EXPECT_EQ(cycle(u"a", 4), (Lines{u"Amy: ", u"adam: ", u"al: ", u"Alice: "}));
    h.dispatch(u":adam!a@h PRIVMSG #kolu :three");
    h.dispatch(u":adam!a@h NICK :Ava");
    EXPECT_EQ(cycle(u"a", 2), (Lines{u"Ava: ", u"Amy: "}));
}

TEST_F(NickCompletionTest, OnlyTheLineAsTheLastTabLeftItCycles) {
    ASSERT_EQ(cycle(u"a", 1), (Lines{u"Amy: "}));
    // Edited since: the word before the caret is completed afresh, mid-line
    // with a blank, and the text after the caret stays.
    const CompletedLine edited = complete(u"Amy: BO?", 7);
    EXPECT_EQ(edited.text, u"Amy: bob ?");
    EXPECT_EQ(edited.caret, 9u);
}

TEST_F(NickCompletionTest, AQueryOffersItsNicknameAndTheStatusTabNothing) {
    ASSERT_TRUE(h.tabs().select(h.tabs().dodaj_zakladke(u"Carol")));
    EXPECT_EQ(cycle(u"c", 2), (Lines{u"Carol: ", u"Carol: "}));
    EXPECT_EQ(cycle(u"a", 1), Lines{});
    ASSERT_TRUE(h.tabs().select(0));
    EXPECT_EQ(cycle(u"a", 1), Lines{});
}

TEST_F(NickCompletionTest, ACaretInsideASurrogatePairOrPastTheEndSplitsNothing) {
    DodajDoListyOpt(h.tabs(), u"#kolu", u"b\U0001F600n");
    EXPECT_EQ(complete(u"b\U0001F600", 2).text, u"bob: \U0001F600");
    EXPECT_EQ(complete(u"bo", 99).text, u"bob: ");
}

}  // namespace
}  // namespace kolu
