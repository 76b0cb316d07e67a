#include "tests/support/ngircd_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "tests/support/child_process.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/tls_test_server.h"

namespace kolu::test {
namespace {

constexpr const char* kBinary = "/usr/sbin/ngircd";

}  // namespace

NgircdFixture::NgircdFixture(NgircdOptions options) : m_options(std::move(options)) {
    if (::access(kBinary, X_OK) != 0) {
        throw std::runtime_error(std::string("ngIRCd is not installed at ") + kBinary +
                                 " (scripts/deps.sh installs it)");
    }
    if (m_options.tls) {
        // Self-signed, so it is its own authority; ngIRCd reads the key once it is "nobody".
        ::chmod(makeClientCertificate(m_dir.path(), "localhost").keyFile.c_str(), 0644);
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (startOnce()) {
            return;
        }
    }
    throw std::runtime_error("ngIRCd found its port taken 5 times in a row; last output:\n" +
                             log());
}

void NgircdFixture::writeFiles() {
    std::ofstream conf(m_dir.file("ngircd.conf"), std::ios::trunc);
    // Loopback only, no lookups, no penalties or per-address limits that slow tests down.
    conf << "[Global]\nName = irc.test\nInfo = Kolu test server\n"
         << "AdminInfo1 = Kolu tests\nAdminInfo2 = 127.0.0.1\nAdminEMail = tests@irc.test\n"
         << "Listen = " << m_options.listen << "\nPorts = " << m_port << "\n"
         << "MotdPhrase = Welcome to the Kolu test server\n"
         << "PidFile = " << m_dir.file("ngircd.pid") << "\n";
    if (!m_options.password.empty()) {
        conf << "Password = " << m_options.password << "\n";
    }
    if (const RunAs nobody = nobodyWhenRoot(); nobody.drop) {
        // ngIRCd will not stay root; "nobody" must be able to write its PID file here.
        conf << "ServerUID = " << nobody.uid << "\nServerGID = " << nobody.gid << "\n";
        if (::chown(m_dir.path().c_str(), nobody.uid, nobody.gid) != 0) {
            throw std::runtime_error("cannot hand the ngIRCd folder to nobody: " + m_dir.path());
        }
    }
    conf << "\n[Limits]\nMaxConnections = 0\nMaxConnectionsIP = 0\nMaxJoins = 0\n"
         << "MaxNickLength = 30\n"
         << (m_options.floodLimits ? "" : "MaxPenaltyTime = 0\n")
         << "PingTimeout = " << m_options.pingTimeout << "\n"
         << "PongTimeout = " << m_options.pongTimeout
         << "\n"
         // Ends a server orphaned by a crashed test run once its last client has gone.
         << "IdleTimeout = 120\n\n[Options]\nPAM = no\nIdent = no\nDNS = no\n";
    if (m_options.tls) {
        conf << "\n[SSL]\nCertFile = " << caFile() << "\nKeyFile = " << m_dir.file("localhost.key")
             << "\nPorts = " << m_tlsPort << "\n";
    }
}

bool NgircdFixture::startOnce() {
    m_port = FakeIrcServer::refusedPort();
    m_tlsPort = m_options.tls ? FakeIrcServer::refusedPort() : 0;
    writeFiles();
    m_pid =
        startProgram({kBinary, "-n", "-f", m_dir.file("ngircd.conf")}, m_dir.file("ngircd.log"));
    if (m_pid < 0) {
        throw std::runtime_error("cannot start ngIRCd (fork, or opening " +
                                 m_dir.file("ngircd.log") + ")");
    }
    // ngIRCd writes ::1 as 0::1.
    const std::string shown = m_options.listen == "::1" ? "0::1" : m_options.listen;
    // The TLS port is opened last.
    const std::string listening = "Now listening on [" + shown +
                                  "]:" + std::to_string(m_options.tls ? m_tlsPort : m_port) + " ";
    const std::string where = m_options.listen + ":" + std::to_string(m_port);
    // Written once ngIRCd listens, and so accepts, on the port it was given.
    const Wait seen = waitUntil(m_pid, [&] { return log().find(listening) != std::string::npos; });
    if (seen == Wait::Exited && log().find("Address already in use") != std::string::npos) {
        return false;
    }
    if (seen != Wait::Seen) {
        stop();
        throw std::runtime_error(seen == Wait::Exited
                                     ? "ngIRCd stopped before listening on " + where +
                                           "; output:\n" + log()
                                     : "ngIRCd did not accept connections on " + where +
                                           " within 5 s; output:\n" + log());
    }
    return true;
}

void NgircdFixture::stop() {
    stopProgram(m_pid);
}

}  // namespace kolu::test
