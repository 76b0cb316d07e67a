#pragma once
// A real IRC server (ngIRCd) for integration tests: started in the foreground on a free
// loopback port with a generated configuration in a temporary folder, always stopped and
// reaped when the fixture goes away. As root it runs as "nobody".
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
    // Also listen with TLS on tlsPort(), with a self-signed certificate for "localhost"
    // (caFile()).
    bool tls = false;
    // ngIRCd's own flood penalties (a burst, then about three commands a second); off, it
    // takes whatever comes as fast as it comes.
    bool floodLimits = false;
};

class NgircdFixture {
  public:
    // Returns once the server accepts connections; throws std::runtime_error, with the
    // server's output, when it does not.
    explicit NgircdFixture(NgircdOptions options = {});
    ~NgircdFixture() { stop(); }

    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    std::string caFile() const { return m_dir.file("localhost.pem"); }
    const std::string& host() const { return m_options.listen; }

    // SIGTERM, then SIGKILL after 3 seconds; reaps it. Safe to repeat.
    void stop();
    // The server's output so far, for failure messages.
    std::string log() const { return m_dir.read("ngircd.log"); }

  private:
    // false when another process took the port first.
    bool startOnce();
    void writeFiles();

    NgircdOptions m_options;
    TempDir m_dir;
    int m_port = 0;
    int m_tlsPort = 0;
    pid_t m_pid = -1;
};

}  // namespace kolu::test
