// Strict transport security: the offer's keys, the policy file, and the
// connection that comes back over TLS when a host asks for it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/sts_policies.h"
#include "connection/tls_trust.h"
#include "platform/civil_time.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/session_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tls_test_server.h"

namespace kolu {

void PrintTo(const StsOffer& offer, std::ostream* out) {
    *out << "{port " << (offer.port ? std::to_string(*offer.port) : "none") << ", duration "
         << (offer.duration ? std::to_string(*offer.duration) : "none") << "}";
}

namespace {

TEST(StsOfferValue, ReadsPortAndDurationAndLeavesOutWhatItCannotRead) {
    const std::pair<std::u16string_view, StsOffer> cases[] = {
        {u"port=6697,duration=2592000", {6697, 2592000}},
        {u"duration=0", {{}, 0}},
        {u"preload,port=6697", {6697, {}}},
        {u"port=0,duration=-5", {}},
        {u"port=65536,duration=12x", {}},
        {u"port=,duration=", {}},
        {u"duration=123456789012345678901234567890", {{}, StsPolicies::kLongestDuration}},
        {u"", {}},
    };
    for (const auto& [value, offer] : cases) {
        EXPECT_EQ(parseStsOffer(value), offer) << toUtf8(value);
    }
}

TEST(StsPolicyFile, APolicyHoldsForItsDurationFromTheWallClockAndZeroForgetsIt) {
    test::TempDir dir;
    StsPolicies store(dir.file(StsPolicies::kFileName));
    EXPECT_FALSE(store.live("irc.test", 1000));  // no file yet
    ASSERT_EQ(store.remember("IRC.Test", 6697, 300, 1000), 0);
    EXPECT_EQ(dir.mode(StsPolicies::kFileName) & 0777, 0600u);
    EXPECT_EQ(store.live("irc.TEST", 1299), 6697);
    EXPECT_FALSE(store.live("irc.test", 1300));
    EXPECT_FALSE(store.live("other.test", 1000));

    // Seen again, it is renewed from then on, with the port of that connection.
    ASSERT_EQ(store.remember("irc.test", 7000, 300, 1200), 0);
    EXPECT_EQ(store.live("irc.test", 1450), 7000);
    ASSERT_EQ(store.remember("second.test", 6697, 100, 1200), 0);
    ASSERT_EQ(store.remember("irc.test", 7000, 0, 1250), 0);
    EXPECT_FALSE(store.live("irc.test", 1250));
    EXPECT_EQ(store.live("second.test", 1250), 6697);

    // Writing drops what has run out, and keeps a line it cannot read as it is.
    const std::string text = dir.read(StsPolicies::kFileName);
    ASSERT_EQ(writeFileAtomically(dir.file(StsPolicies::kFileName), text + "edited by hand\n"), 0);
    ASSERT_EQ(store.remember("third.test", 6697, 100, 1400), 0);
    EXPECT_EQ(dir.read(StsPolicies::kFileName), "edited by hand\nthird.test 6697 1500\n");
}

class StsConnection : public ::testing::Test {
  protected:
    StsConnection() { env.setUser(); }
    void trust(const test::TlsTestServer& tls) {
        env.settings.write(TlsTrust::kFileName, "127.0.0.1 " + tls.fingerprint() + "\n");
    }
    StsPolicies policies() { return StsPolicies(env.settings.dir.file(StsPolicies::kFileName)); }
    std::int64_t now() { return pobierz_czas(env.settings.clock); }
    void rememberPolicy(int port) {
        ASSERT_EQ(policies().remember("127.0.0.1", static_cast<std::uint16_t>(port), 300, now()),
                  0);
    }
    void disconnect() {
        env.session.connection.connectCommand();
        env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; });
    }
    static bool sent(const test::TlsTestServer& tls, std::string_view line) {
        return std::ranges::count(tls.lines(), line) > 0;
    }

    test::SessionEnv env;
};

TEST_F(StsConnection, APlainTextOfferReconnectsOverTlsAtOnceAndSetsNoPolicy) {
    test::TlsTestServer tls;
    trust(tls);
    test::FakeIrcServer plain;
    plain.scriptCap(true);
    env.useServer(plain.port());
    env.settings.settings.RegZapiszLONG(u"reconnect", 0);  // the upgrade is no retry
    env.session.connection.connectCommand();
    ASSERT_TRUE(plain.waitForClient());
    EXPECT_TRUE(plain.expectLine("CAP LS 302"));
    ASSERT_TRUE(plain.send(":irc.test CAP * LS :multi-prefix sts=port=" +
                           std::to_string(tls.port()) + ",duration=300\r\n"));
    EXPECT_TRUE(env.pollUntil([&] { return sent(tls, "nick tester"); }));
    EXPECT_TRUE(plain.waitForDisconnect());
    EXPECT_EQ(plain.connectionCount(), 1);
    EXPECT_EQ(plain.received().find("CAP REQ"), std::string::npos);  // not over plain text
    EXPECT_EQ(plain.received().find("CAP END"), std::string::npos);
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"asks for TLS"));
    EXPECT_FALSE(fileExists(env.settings.dir.file(StsPolicies::kFileName)));
}

// Not with the extensions switched off, and not once the policy has run out.
TEST_F(StsConnection, APlainTextServerWithALivePolicyIsReachedOverTlsOnly) {
    test::TlsTestServer tls;
    trust(tls);
    test::FakeIrcServer plain;
    env.useServer(plain.port());
    rememberPolicy(tls.port());
    env.settings.settings.RegZapiszLONG(u"ircv3", 0);
    env.session.connection.connectCommand();
    ASSERT_TRUE(plain.waitForClient());
    disconnect();

    env.settings.settings.RegZapiszLONG(u"ircv3", 1);
    env.session.connection.connectCommand();
    EXPECT_TRUE(env.pollUntil([&] { return sent(tls, "nick tester"); }));
    EXPECT_EQ(plain.connectionCount(), 1);
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"over TLS only"));
    disconnect();

    env.settings.clock.utc.minute += 5;
    env.session.connection.connectCommand();
    EXPECT_TRUE(plain.waitForClient());
}

TEST_F(StsConnection, APolicyNeverAcceptsACertificateThatWouldBeRefused) {
    test::TlsTestServer tls;
    test::FakeIrcServer plain;
    env.useServer(plain.port());
    rememberPolicy(tls.port());
    env.session.connection.connectCommand();
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"certificate not trusted"));
    EXPECT_EQ(plain.connectionCount(), 0);
    EXPECT_TRUE(tls.lines().empty());
}

}  // namespace
}  // namespace kolu
