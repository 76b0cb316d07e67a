// FAIL, WARN and NOTE from the server: one readable line each in the status tab.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "settings/colour_table.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;

TEST(StandardReplies, ShownAsCommandCodeAndDescriptionInTheInfoColour) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u":irc.test FAIL CHATHISTORY INVALID_TARGET #nowhere :No such channel",
         u"*** CHATHISTORY failed (INVALID_TARGET): No such channel"},
        // Without a prefix, and with several context parameters.
        {u"WARN REHASH CONFIG_BAD a b :Config file had errors",
         u"*** Warning from REHASH (CONFIG_BAD): Config file had errors"},
        {u"@time=2026-01-01T00:00:00.000Z :irc.test NOTE * OPER_MESSAGE :The message",
         u"*** Note (OPER_MESSAGE): The message"},
        {u":irc.test fail * ACCOUNT_REQUIRED :Log in first",
         u"*** Failed (ACCOUNT_REQUIRED): Log in first"},
        // A description without its colon is still the last parameter.
        {u"FAIL JOIN CHANNEL_FULL full", u"*** JOIN failed (CHANNEL_FULL): full"},
    };
    for (const auto& [raw, shown] : cases) {
        test::HandlerEnv env;
        env.dispatch(raw);
        EXPECT_EQ(env.lines(), Texts{std::u16string(shown)}) << toUtf8(raw);
        EXPECT_EQ(env.lastColour(), env.env.colours.of(LineClass::Info)) << toUtf8(raw);
    }
}

TEST(StandardReplies, AShortLineStillGivesAReadableLine) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u":irc.test FAIL JOIN CHANNEL_FULL", u"*** JOIN failed (CHANNEL_FULL)"},
        {u":irc.test WARN NICK", u"*** Warning from NICK"},
        {u":irc.test FAIL", u"*** Failed"},
        {u"NOTE", u"*** Note"},
    };
    for (const auto& [raw, shown] : cases) {
        test::HandlerEnv env;
        env.dispatch(raw);
        EXPECT_EQ(env.lines(), Texts{std::u16string(shown)}) << toUtf8(raw);
    }
}

}  // namespace
}  // namespace kolu
