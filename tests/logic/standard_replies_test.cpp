// FAIL, WARN and NOTE from the server: one readable line each in the status tab.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "settings/colour_table.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

TEST(StandardReplies, ShownAsCommandCodeAndDescriptionInTheInfoColourEvenWhenShort) {
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u":irc.test FAIL CHATHISTORY INVALID_TARGET #nowhere :No such channel",
         u"*** CHATHISTORY failed (INVALID_TARGET): No such channel"},
        {u"WARN REHASH CONFIG_BAD a b :Config file had errors",
         u"*** Warning from REHASH (CONFIG_BAD): Config file had errors"},
        {u"@time=2026-01-01T00:00:00.000Z :irc.test NOTE * OPER_MESSAGE :The message",
         u"*** Note (OPER_MESSAGE): The message"},
        {u":irc.test fail * ACCOUNT_REQUIRED :Log in first",
         u"*** Failed (ACCOUNT_REQUIRED): Log in first"},
        {u"FAIL JOIN CHANNEL_FULL full", u"*** JOIN failed (CHANNEL_FULL): full"},
        {u":irc.test FAIL JOIN CHANNEL_FULL", u"*** JOIN failed (CHANNEL_FULL)"},
        {u":irc.test WARN NICK", u"*** Warning from NICK"},
        {u"NOTE", u"*** Note"},
    };
    for (const auto& [raw, shown] : cases) {
        SCOPED_TRACE(toUtf8(raw));
        test::HandlerEnv env;
        env.dispatch(raw);
        EXPECT_EQ(env.lines(), std::vector<std::u16string>{std::u16string(shown)});
        EXPECT_EQ(env.lastColour(), env.env.colours.of(LineClass::Info));
    }
}

}  // namespace
}  // namespace kolu
