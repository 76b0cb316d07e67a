// Capability negotiation: the bookkeeping on its own, then the exchange with a
// scripted server, and a server that knows nothing of it.
#include <gtest/gtest.h>

#include "protocol/capabilities.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;

TEST(CapabilitiesTest, AsksOnceTheListEndsForWhatBothKnowAndEndsWhenAllAreAnswered) {
    Capabilities caps;
    caps.reset(true);
    // A list in two lines: nothing is asked before the last.
    EXPECT_EQ(caps.offersListed(u"multi-prefix sasl=PLAIN,EXTERNAL unknown-cap", true, false),
              Lines{});
    EXPECT_EQ(caps.offersListed(u"server-time sts=port=6697,duration=300", false, false),
              Lines{u"CAP REQ :multi-prefix server-time"});
    ASSERT_NE(caps.offered(u"sasl"), nullptr);
    EXPECT_EQ(*caps.offered(u"sasl"), u"PLAIN,EXTERNAL");
    EXPECT_EQ(*caps.offered(u"sts"), u"port=6697,duration=300");
    EXPECT_EQ(caps.offered(u"away-notify"), nullptr);

    EXPECT_EQ(caps.finishNegotiation(), std::nullopt);  // the REQ is not answered yet
    caps.granted(u"multi-prefix server-time");
    EXPECT_TRUE(caps.enabled(u"server-time"));
    EXPECT_FALSE(caps.enabled(u"sasl"));
    EXPECT_EQ(caps.finishNegotiation(), u"CAP END");
    EXPECT_EQ(caps.finishNegotiation(), std::nullopt);
    EXPECT_TRUE(caps.enabled(u"multi-prefix"));  // ending keeps what was granted
}

TEST(CapabilitiesTest, SaslIsAskedForOnlyWithALoginAndOnlyWhileRegistering) {
    Capabilities caps;
    caps.reset(true);
    EXPECT_EQ(caps.offersListed(u"sasl", false, true), Lines{u"CAP REQ :sasl"});
    caps.reset(true);
    EXPECT_EQ(caps.offersListed(u"sasl", false, false), Lines{});
    caps.finishNegotiation();
    EXPECT_EQ(caps.offersAdded(u"sasl=PLAIN away-notify"), Lines{u"CAP REQ :away-notify"});
}

TEST(CapabilitiesTest, RefusalsAcksThatTurnOffAndWithdrawnOffers) {
    Capabilities caps;
    caps.reset(true);
    caps.offersListed(u"away-notify chghost", false, false);
    caps.refused(u"away-notify chghost");
    EXPECT_FALSE(caps.enabled(u"away-notify"));
    EXPECT_EQ(caps.finishNegotiation(), u"CAP END");

    caps.granted(u"chghost unknown-cap");
    EXPECT_TRUE(caps.enabled(u"chghost"));
    EXPECT_FALSE(caps.enabled(u"unknown-cap"));
    caps.granted(u"-chghost");
    EXPECT_FALSE(caps.enabled(u"chghost"));

    caps.granted(u"away-notify");
    caps.offersRemoved(u"away-notify");
    EXPECT_FALSE(caps.enabled(u"away-notify"));
    EXPECT_EQ(caps.offered(u"away-notify"), nullptr);
}

class NegotiationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser();
    }
    void connect() {
        env.session.connection.connectCommand();
        ASSERT_TRUE(server.waitForClient());
    }
    // Sends a server line and lets the client read it.
    void serverSays(const std::string& line) {
        ASSERT_TRUE(server.send(line + "\r\n"));
        for (int i = 0; i < 20; ++i) {
            env.session.connection.pollTick();
        }
    }

    test::FakeIrcServer server;
    test::SessionEnv env;
};

TEST_F(NegotiationTest, AServerWithoutCapabilitiesLogsInAsBeforeAndItsErrorIsNotShown) {
    connect();  // the scripted server answers CAP with 421
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    EXPECT_TRUE(env.pollUntil([&] { return !env.session.state.caps.negotiating(); }));
    serverSays(":fake.server 001 tester :Welcome");
    EXPECT_EQ(env.lines(), (Lines{u"*** Connecting to 127.0.0.1 (" +
                                      fromUtf8(std::to_string(server.port())) + u")",
                                  u"Welcome"}));
    // A later 421 is the user's own unknown command, shown as always.
    serverSays(":fake.server 421 tester FOO :Unknown command");
    EXPECT_EQ(env.lastLine(), u"FOO :Unknown command");
}

TEST_F(NegotiationTest, SwitchedOffNothingIsNegotiated) {
    env.settings.settings.RegZapiszLONG(u"ircv3", 0);
    server.scriptCap(true);
    connect();
    EXPECT_TRUE(server.expectLine("nick tester"));
}

}  // namespace
}  // namespace kolu
