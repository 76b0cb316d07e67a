#pragma once
// A real IRCv3 server (InspIRCd 3) linked to real account services (Anope 2) for integration
// tests: both run in the foreground on free 127.0.0.1 ports with configurations generated in
// a temporary folder, and both are always stopped and reaped when the fixture goes away.
// Starting the pair takes about 0.4 s; a suite that does not need a fresh server per test can
// share one (see the integration tests' SetUpTestSuite).
#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tls_test_server.h"

namespace kolu::test {

// An account services hold from the start.
struct ServicesAccount {
    std::string name, password;
    // Certificates (see ClientCertificate::fingerprint) it logs in with by SASL EXTERNAL.
    std::vector<std::string> fingerprints;
};

struct InspircdOptions {
    // Advertise a strict-transport-security policy naming tlsPort() for `stsDuration` seconds
    // (InspIRCd takes its default of 300 for less than 60).
    bool sts = false;
    int stsDuration = 60;
    // In the services' database before they start: cheaper than registering them, which
    // takes a client connection (about a second each, as InspIRCd completes registrations on
    // a one-second tick).
    std::vector<ServicesAccount> accounts;
};

class InspircdFixture {
  public:
    static constexpr const char* kServerName = "irc.test";
    static constexpr const char* kServicesName = "services.test";
    // An IRC operator (OPER name password) with every command, CHGHOST among them.
    static constexpr const char* kOperName = "tester";
    static constexpr const char* kOperPassword = "operpass";

    // Returns once services have linked and SASL is offered with their mechanisms; throws
    // std::runtime_error with both programs' logs when that does not happen.
    explicit InspircdFixture(InspircdOptions options = {});
    ~InspircdFixture() { stop(); }
    InspircdFixture(const InspircdFixture&) = delete;
    InspircdFixture& operator=(const InspircdFixture&) = delete;

    std::string host() const { return "127.0.0.1"; }
    int port() const { return m_port; }
    // TLS with a certificate for "localhost" signed by caFile(); it asks for client certificates.
    int tlsPort() const { return m_tlsPort; }
    std::string caFile() const { return m_dir.file("localhost.pem"); }

    // Services first, then the server: SIGTERM, SIGKILL after 3 seconds, reaped. Safe to repeat.
    void stop();
    // Both programs' output so far, for failure messages.
    std::string logs() const;

  private:
    // false when another process took one of the ports first.
    bool startOnce();
    // The template `name` (tests/support/inspircd/) with this start's values, written to `path`.
    void writeConfig(const std::string& name, const std::string& path) const;
    void writeServicesDatabase() const;
    // Whether InspIRCd could not listen on one of its ports: another process took it since it
    // was chosen.
    bool lostAPort() const;
    std::string serverLog() const { return m_dir.read("inspircd.log"); }

    InspircdOptions m_options;
    TempDir m_dir;
    int m_port = 0;
    int m_tlsPort = 0;
    int m_linkPort = 0;
    pid_t m_server = -1;
    pid_t m_services = -1;
};

}  // namespace kolu::test
