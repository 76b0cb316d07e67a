// Network faults injected between the client and its server by a proxy: what the client
// shows when the connection ends that way, how it comes back, what becomes of the lines
// typed meanwhile, and that it keeps turning while the fault lasts.
#include <gtest/gtest.h>
#include <poll.h>

#include <functional>
#include <optional>

#include "connection/tls_trust.h"
#include "platform/text.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/tls_test_server.h"

namespace kolu {
namespace {

using test::FaultProxy;
using Fault = FaultProxy::Fault;
using Lines = std::vector<std::u16string>;

class Faults : public ::testing::Test {
  protected:
    // The client's only server is the proxy in front of `port` (a TLS port with `tls`).
    void through(int port, bool tls = false) {
        proxy.emplace(port);
        env.useServer(proxy->port(), "", tls);
        env.setUser();
        env.settings.settings.RegZapiszLONG(u"reconnect", 1);
        env.host.grantWatch = true;  // as in the window: nothing waits on the socket
    }
    Connection& connection() { return env.session.connection; }
    SocketHandle socket() { return env.session.state.socket; }
    // One turn of the window's event loop: what the socket watch reports, then, with `tick`,
    // the poll timer (which fires only once a second).
    void turn(bool tick = true) {
        const test::FakeHost::Watch& watch = env.host.watch;
        pollfd fd{
            watch.sock,
            static_cast<short>((watch.readable ? POLLIN : 0) | (watch.writable ? POLLOUT : 0)), 0};
        if (fd.events != 0 && ::poll(&fd, 1, 5) > 0) {
            if (watch.readable && (fd.revents & (POLLIN | POLLHUP | POLLERR))) {
                connection().socketReadable();
            } else if (watch.writable) {
                connection().socketWritable();
            }
        }
        if (tick) {
            connection().pollTick();
        }
    }
    bool turnUntil(const std::function<bool()>& done, bool tick = true) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            turn(tick);
        }
        return done();
    }
    // A command typed in the selected tab, and the last line that tab shows then.
    std::u16string type(std::u16string_view line) {
        env.session.commands.ParsujKomende(line, u"");
        return env.lines(env.session.tabs.selected()).back();
    }
    // The client, connecting, logs in to the scripted server and joins #chan there.
    void logIn() {
        ASSERT_TRUE(turnUntil([&] { return socket() != kInvalidSocket; }));
        ASSERT_TRUE(server.waitForClient());
        ASSERT_TRUE(server.expectLine("nick tester"));
        ASSERT_TRUE(server.expectLine("user me example.org kolu :Test User"));
        server.send(":irc.test 001 tester :Welcome\r\n:tester!me@h JOIN #chan\r\n");
        ASSERT_TRUE(turnUntil([&] { return env.session.tabs.znajdz_zakladke(u"#chan") > 0; }));
        EXPECT_EQ(env.session.state.currentNick, u"tester");
    }
    // The socket watch alone finds the end, and every tab says so; the status tab ends
    // with `said`.
    void expectEnded(const Lines& said) {
        ASSERT_TRUE(turnUntil([&] { return socket() == kInvalidSocket; }, false));
        const Lines status = env.lines();
        ASSERT_GE(status.size(), said.size());
        EXPECT_EQ(Lines(status.end() - said.size(), status.end()), said);
        for (int tab = 1; tab < env.session.tabs.count(); ++tab) {
            EXPECT_EQ(env.lines(tab).back(), u"*** Disconnected");
        }
    }

    test::FakeIrcServer server;
    std::optional<FaultProxy> proxy;
    test::SessionEnv env;
};

struct Ending {
    const char* name;
    Fault fault;
    std::optional<std::u16string> abort;  // the line shown before "*** Disconnected"
};
void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

class ServerEnds : public Faults, public ::testing::WithParamInterface<Ending> {};

// The line the fault cuts is never shown, nor glued to the next connection's first line.
// A command typed once the client has read the end (before its poll timer fires) or while
// it waits to reconnect is reported as not sent and never goes later. (The wait doubling
// over short connections, and lines typed while connecting, are the connection tests'.)
TEST_P(ServerEnds, EveryTabSaysSoAndTheClientComesBackAfterItsWaitLosingNoTypedLine) {
    through(server.port());
    connection().connectCommand();
    logIn();
    proxy->inject(GetParam().fault);
    server.send(":other!u@h PRIVMSG #chan :this line is cut by the fault\r\n");
    Lines said{u"*** Disconnected", u"*** Reconnecting in 5 seconds"};
    if (GetParam().abort) {
        said.insert(said.begin(), *GetParam().abort);
    }
    expectEnded(said);
    EXPECT_FALSE(test::anyLineHas(env.lines(u"#chan"), u"<other>"));
    EXPECT_EQ(env.host.intervals[kRetryTimer], Connection::kRetryIntervalMs);
    EXPECT_EQ(type(u"/join #waiting"), u"* /join: not connected to server");
    connection().retryTick();
    logIn();
    EXPECT_TRUE(server.expectNoLine(std::chrono::milliseconds(50)));
    for (int tab = 0; tab < env.session.tabs.count(); ++tab) {
        EXPECT_FALSE(test::anyLineHas(env.lines(tab), u"<other>"));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ServerEnds,
                         ::testing::Values(Ending{"CutMidLine", Fault::kCut, std::nullopt},
                                           Ending{"ResetMidLine", Fault::kReset,
                                                  u"*** [10054] Software caused connection abort"},
                                           Ending{"HalfClosed", Fault::kHalfClose, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

// A stalled link: every turn that returns meanwhile, poll tick included, is one that did not
// wait for the server. The client's PING goes into the stall; unanswered, the link is given
// up as a server close would be, naming the line typed into it, and opened again at once.
TEST_F(Faults, AStalledLinkLeavesTheClientTurningAndIsGivenUpAfterItsPingTimesOut) {
    through(server.port());
    connection().connectCommand();
    logIn();
    proxy->inject(Fault::kStall);
    EXPECT_EQ(type(u"/msg #chan typed during the stall"), u"<tester> typed during the stall");
    for (int i = 0; i < 100; ++i) {
        turn();
    }
    const auto silence = [&](std::uint64_t ms) {
        env.settings.clock.ticks += ms;
        turn();
    };
    silence(90000);
    silence(119999);
    EXPECT_TRUE(env.session.state.connected);
    silence(1);
    const Lines lines = env.lines();
    const Lines lost{u"*** Ping timeout (210 seconds)",
                     u"*** Perhaps lost with the link: PRIVMSG #chan :typed during the stall",
                     u"*** Disconnected"};
    EXPECT_NE(std::ranges::search(lines, lost).begin(), lines.end()) << toUtf8(lines.back());
    EXPECT_EQ(env.host.lags.back(), std::nullopt);
    proxy->inject(Fault::kNone);
    logIn();
}

// One byte at a time, a UTF-8 character split across reads: each line shows whole once its
// end has come, and an unfinished one shows nothing meanwhile.
TEST_F(Faults, ATrickleShowsEachLineWholeOnceItsEndHasCome) {
    through(server.port());
    connection().connectCommand();
    logIn();
    proxy->inject(Fault::kTrickle);
    const std::u16string text = u"za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105";
    server.send(":other!u@h PRIVMSG #chan :" + toUtf8(text) + "\r\n:other!u@h PRIVMSG #chan :sec");
    ASSERT_TRUE(turnUntil(
        [&] { return env.session.inbound.pending() == u":other!u@h PRIVMSG #chan :sec"; }));
    EXPECT_EQ(env.lastLine(u"#chan"), u"<other> " + text);
    server.send("ond\r\n");
    EXPECT_TRUE(turnUntil([&] { return env.lastLine(u"#chan") == u"<other> second"; }));
}

// The connect completes in the kernel while the server takes no connection: the client
// logs in and takes a command meanwhile, which reaches the server after the login.
TEST_F(Faults, ACommandTypedBeforeTheServerAcceptsGoesAfterTheLogin) {
    through(server.port());
    proxy->delayAccept(std::chrono::seconds(30));
    connection().connectCommand();
    ASSERT_TRUE(turnUntil([&] { return socket() != kInvalidSocket; }));
    type(u"/join #early");
    for (int i = 0; i < 20; ++i) {
        turn();
    }
    EXPECT_EQ(server.connectionCount(), 0);  // the proxy reaches it only once it accepts
    proxy->delayAccept(test::Millis(0));
    ASSERT_TRUE(server.waitForClient());
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    EXPECT_TRUE(server.expectLine("join #early"));
}

// Half a TLS record, then a reset: the client must not wait for the rest of the record.
TEST_F(Faults, AResetInsideATlsRecordEndsTheConnectionWhichComesBackOverTls) {
    test::NgircdOptions options;
    options.tls = true;
    test::NgircdFixture ngircd(options);
    through(ngircd.tlsPort(), true);
    env.settings.write(TlsTrust::kFileName,
                       "127.0.0.1 " + test::pemFingerprint(ngircd.caFile()) + "\n");
    // Logged in and idle: the next record is the message below.
    const auto loggedIn = [&](int times) {
        return turnUntil(
            [&] { return std::ranges::count(env.lines(), u"End of MOTD command") == times; });
    };
    connection().connectCommand();
    ASSERT_TRUE(loggedIn(1)) << ngircd.log();
    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(ngircd.host(), ngircd.port()));
    ASSERT_TRUE(other.login("other"));
    proxy->inject(Fault::kReset);
    other.send("PRIVMSG tester :cut inside its record");
    expectEnded({u"*** Disconnected", u"*** Reconnecting in 5 seconds"});
    connection().retryTick();
    EXPECT_TRUE(loggedIn(2)) << ngircd.log();
}

}  // namespace
}  // namespace kolu
