#pragma once
// A real IRC server (ngIRCd) for integration tests: started in the foreground on a free
// loopback port (127.0.0.1 unless told ::1) with a generated configuration in a temporary
// folder, and always stopped and reaped when the fixture goes away. Works as root (it drops
// to "nobody") and as a user.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace kolu::test {

struct NgircdOptions {
    std::string password;  // empty: no PASS needed
    int pingTimeout = 120;
    int pongTimeout = 20;
    std::string listen = "127.0.0.1";  // or "::1"
    // Also listen with TLS on tlsPort(), with a certificate for "localhost" from a
    // throw-away authority (caFile()).
    bool tls = false;
    // ngIRCd's own flood penalties (a burst, then about three commands a second, the
    // rest held back); off, it takes whatever comes as fast as it comes.
    bool floodLimits = false;
};

class NgircdFixture {
  public:
    static constexpr const char* kBinary = "/usr/sbin/ngircd";
    static constexpr const char* kMotdLine = "Welcome to the Kolu test server";

    // Starts the server and returns once it accepts connections. Throws std::runtime_error,
    // with the server's output, when it exits early or does not listen within 5 seconds.
    explicit NgircdFixture(NgircdOptions options = {});
    ~NgircdFixture() { stop(); }
    NgircdFixture(const NgircdFixture&) = delete;
    NgircdFixture& operator=(const NgircdFixture&) = delete;

    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    std::string caFile() const { return m_dir.file("ca.pem"); }
    const std::string& host() const { return m_options.listen; }

    // SIGTERM, SIGKILL if it has not exited after 3 seconds; reaps it. Safe to repeat.
    void stop();
    // The server's output so far (and how it ended), for failure messages.
    std::string log() const;

  private:
    // false when the port was taken by someone else in the meantime; throws on other failures.
    bool startOnce();
    void writeFiles();
    void spawn();

    NgircdOptions m_options;
    TempDir m_dir;
    int m_port = 0;
    int m_tlsPort = 0;
    pid_t m_pid = -1;
    std::string m_ending;
};

}  // namespace kolu::test
