// The client's own watch over its link: a PING after a silence, the lag from
// its answer (a link given up when it never comes is a fault test).
#include "protocol/lag_check.h"

#include <gtest/gtest.h>

#include "tests/support/fake_irc_server.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;

TEST(LagCheckTest, OnlyItsOwnTokenMeasuresAndTheTimeoutCountsFromThePingOrBeforeItsLogin) {
    LagCheck check;
    check.reset(1000);
    EXPECT_EQ(check.pingDue(90999, 90000), std::nullopt);
    EXPECT_EQ(check.timedOut(210999, 90000, 120000), std::nullopt);
    EXPECT_EQ(check.timedOut(211000, 90000, 120000), 210u) << "no PING: silence and timeout";

    // A sleep of a day: the PING goes first, and the timeout counts from it.
    const std::uint64_t woke = 86'400'000;
    const std::optional<std::u16string> ping = check.pingDue(woke, 90000);
    ASSERT_TRUE(ping);
    EXPECT_EQ(*ping, u"PING :" + std::u16string(LagCheck::kTokenPrefix) + u"86400000");
    EXPECT_EQ(check.pingDue(woke + 90000, 90000), std::nullopt) << "one at a time";
    EXPECT_EQ(check.timedOut(woke + 119999, 90000, 120000), std::nullopt);
    check.heard(woke + 100000);  // a trickle keeps it alive
    EXPECT_EQ(check.timedOut(woke + 219999, 90000, 120000), std::nullopt);
    EXPECT_EQ(check.answered(u"kolu-lag-1", woke + 200000), std::nullopt);
    EXPECT_EQ(check.answered(ping->substr(6), woke + 250), 250u);
    EXPECT_EQ(check.answered(ping->substr(6), woke + 260), std::nullopt) << "answered once";
}

// Logged in to a scripted server that goes silent.
class LinkCheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser();
        env.session.connection.connectCommand();
        ASSERT_TRUE(server.waitForClient());
        server.send(":irc.test 001 tester :Welcome\r\n");
        ASSERT_TRUE(env.pollUntil([&] { return !env.session.state.currentNick.empty(); }));
        ASSERT_TRUE(server.expectLine("nick tester"));
        ASSERT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    }
    void silence(std::uint64_t ms) {
        env.settings.clock.ticks += ms;
        env.session.connection.pollTick();
    }
    std::string expectedPing() {
        return "PING :kolu-lag-" + std::to_string(env.settings.clock.ticks);
    }

    test::FakeIrcServer server;
    test::SessionEnv env;
};

TEST_F(LinkCheckTest, ASilentLinkIsPingedAndTheAnswerGivesTheLagWithoutALineUnlessAsked) {
    env.settings.settings.RegZapiszLONG(u"hideping", 0);
    const Lines before = env.lines();
    silence(89999);
    EXPECT_TRUE(server.expectNoLine(test::Millis(50)));
    silence(1);
    const std::string ping = expectedPing();
    ASSERT_TRUE(server.expectLine(ping));
    env.settings.clock.ticks += 250;
    server.send(":irc.test PONG irc.test :" + ping.substr(6) + "\r\n");
    ASSERT_TRUE(env.pollUntil([&] { return !env.host.lags.empty(); }));
    EXPECT_EQ(env.host.lags, (std::vector<std::optional<std::uint64_t>>{250}));
    EXPECT_EQ(env.lines(), before);

    env.settings.settings.RegZapiszLONG(u"showlag", 1);
    silence(90000);
    const std::string token = expectedPing().substr(6);
    env.settings.clock.ticks += 40;
    server.send(":irc.test PONG irc.test :" + token + "\r\n");
    ASSERT_TRUE(env.pollUntil([&] { return env.host.lags.size() == 2; }));
    EXPECT_EQ(env.lastLine(), u"*** Lag: 40 ms");
}

}  // namespace
}  // namespace kolu
