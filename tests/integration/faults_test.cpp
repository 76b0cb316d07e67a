// Network faults injected between the client and its server by a proxy: what the client
// shows when the connection ends that way, how it comes back, what becomes of the lines
// typed meanwhile, and that it keeps turning while the fault lasts.
#include <gtest/gtest.h>
#include <poll.h>

#include <functional>
#include <optional>

#include "connection/tls_trust.h"
#include "platform/files.h"
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
        writeFileAtomically(env.settings.dir.file("servers.txt"),
                            "Test\t127.0.0.1\t" + std::string(tls ? "+" : "") +
                                std::to_string(proxy->port()) + "\t\r\n",
                            0600);
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
        pollfd fd{watch.sock, static_cast<short>((watch.readable ? POLLIN : 0) |
                                                 (watch.writable ? POLLOUT : 0)),
                  0};
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

class ServerEnds : public Faults, public ::testing::WithParamInterface<Ending> {};

// The line the fault cuts is never shown, nor glued to the next connection's first line;
// each short connection doubles the wait. A command typed once the client has read the end
// (before its poll timer fires), while waiting or while connecting is reported as not sent
// and never goes later.
TEST_P(ServerEnds, EveryTabSaysSoAndTheClientComesBackAfterADoublingWaitLosingNoTypedLine) {
    through(server.port());
    connection().connectCommand();
    logIn();
    for (const int wait : {5, 10}) {
        proxy->inject(GetParam().fault);
        server.send(":other!u@h PRIVMSG #chan :this line is cut by the fault\r\n");
        Lines said{u"*** Disconnected", u"*** Reconnecting in " + decimalText(wait) + u" seconds"};
        if (GetParam().abort) {
            said.insert(said.begin(), *GetParam().abort);
        }
        expectEnded(said);
        EXPECT_FALSE(test::anyLineHas(env.lines(u"#chan"), u"<other>"));
        EXPECT_EQ(env.host.intervals[kRetryTimer], wait * 1000);
        if (GetParam().fault == Fault::kHalfClose) {  // the client closed its side too
            EXPECT_TRUE(turnUntil([&] { return proxy->clientEnded(); }));
        }
        EXPECT_EQ(type(u"/join #waiting"), u"* /join: not connected to server");
        connection().retryTick();
        EXPECT_EQ(type(u"/join #connecting"), u"* /join: not connected to server");
        logIn();
        EXPECT_TRUE(server.expectNoLine(std::chrono::milliseconds(50)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ServerEnds,
    ::testing::Values(
        Ending{"CutMidLine", Fault::kCut, std::nullopt},
        Ending{"ResetMidLine", Fault::kReset, u"*** [10054] Software caused connection abort"},
        Ending{"HalfClosed", Fault::kHalfClose, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolu
