// The word the whisper list looks up, and the text after a word is taken.
#include <gtest/gtest.h>

#include "completion/whisper_text.h"

namespace kolu {
namespace {

TEST(WhisperText, TheTypedWordIsAfterTheLastBlankAndBeforeTheCaret) {
    EXPECT_EQ(typedWordFor(u"hello /jo", 9), u"/jo");
    EXPECT_EQ(typedWordFor(u"/jo", 0), u"/jo") << "a field without a caret, no blank";
    EXPECT_EQ(typedWordFor(u"a b", 0), std::nullopt) << "the caret lies before the word";
    EXPECT_EQ(typedWordFor(u"hello ", 6), std::nullopt);
    EXPECT_EQ(typedWordFor(u"", 0), std::nullopt);
}

TEST(WhisperText, ATakenWordReplacesTheTypedOneWithOneBlankAfter) {
    EXPECT_EQ(takeSuggestion(u"/jo", u"/join"), u"/join ");
    EXPECT_EQ(takeSuggestion(u"", u"/join"), u"");
}

}  // namespace
}  // namespace kolu
