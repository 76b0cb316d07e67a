#include "tests/support/ngircd_fixture.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/fake_irc_server.h"
#include "tests/support/raw_irc_client.h"

namespace kolu::test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartDeadline = std::chrono::seconds(5);
constexpr auto kStopDeadline = std::chrono::seconds(3);
constexpr int kStartAttempts = 5;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string describeExit(int status) {
    if (WIFEXITED(status)) {
        return "ngIRCd exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "ngIRCd ended by signal " + std::to_string(WTERMSIG(status));
    }
    return "ngIRCd ended";
}

}  // namespace

NgircdFixture::NgircdFixture(NgircdOptions options) : m_options(std::move(options)) {
    if (::access(kBinary, X_OK) != 0) {
        throw std::runtime_error(std::string("ngIRCd is not installed at ") + kBinary +
                                 " (scripts/deps.sh installs it)");
    }
    if (m_options.tls) {
        makeCertificates();
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (startOnce()) {
            return;
        }
    }
    throw std::runtime_error("ngIRCd found its port taken " + std::to_string(kStartAttempts) +
                             " times in a row; last output:\n" + log());
}

NgircdFixture::~NgircdFixture() {
    stop();
}

void NgircdFixture::writeFiles() {
    std::ostringstream conf;
    // Loopback only, no lookups, no penalties or per-address limits that slow tests down.
    conf << "[Global]\n"
         << "Name = " << m_options.serverName << "\n"
         << "Info = Kolu test server\n"
         << "AdminInfo1 = Kolu tests\nAdminInfo2 = 127.0.0.1\nAdminEMail = tests@irc.test\n"
         << "Listen = " << m_options.listen << "\n"
         << "Ports = " << m_port << "\n"
         << "MotdFile = " << m_dir.file("motd.txt") << "\n"
         << "PidFile = " << m_dir.file("ngircd.pid") << "\n";
    if (!m_options.password.empty()) {
        conf << "Password = " << m_options.password << "\n";
    }
    if (::geteuid() == 0) {
        // ngIRCd refuses to stay root and drops to "nobody" anyway; say so explicitly and let
        // that user write its PID file into our folder.
        const passwd* nobody = ::getpwnam("nobody");
        const uid_t uid = nobody ? nobody->pw_uid : 65534;
        const gid_t gid = nobody ? nobody->pw_gid : 65534;
        conf << "ServerUID = " << uid << "\nServerGID = " << gid << "\n";
        if (::chown(m_dir.path().c_str(), uid, gid) != 0) {
            throw std::runtime_error("cannot hand the ngIRCd folder to nobody: " + m_dir.path());
        }
    }
    conf << "\n[Limits]\n"
         << "MaxConnections = 0\nMaxConnectionsIP = 0\nMaxJoins = 0\nMaxNickLength = 30\n";
    if (!m_options.floodLimits) {
        conf << "MaxPenaltyTime = 0\n";
    }
    conf << "PingTimeout = " << m_options.pingTimeout << "\n"
         << "PongTimeout = " << m_options.pongTimeout
         << "\n"
         // Ends a server orphaned by a crashed test run once its last client has gone.
         << "IdleTimeout = 120\n"
         << "\n[Options]\n"
         << "PAM = no\nIdent = no\nDNS = no\n";
    if (m_options.tls) {
        conf << "\n[SSL]\nCertFile = " << m_dir.file("server.pem")
             << "\nKeyFile = " << m_dir.file("server.key") << "\nPorts = " << m_tlsPort << "\n";
    }
    std::ofstream(m_dir.file("ngircd.conf"), std::ios::trunc) << conf.str();
    std::ofstream(m_dir.file("motd.txt"), std::ios::trunc) << kMotdLine << "\n"
                                                           << "Only 127.0.0.1 is served.\n";
}

void NgircdFixture::makeCertificates() {
    const std::string dir = m_dir.path();
    std::ofstream(m_dir.file("san.cnf")) << "subjectAltName = DNS:localhost\n";
    const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const std::string script =
        "cd '" + dir + "' && (openssl req -x509" + key +
        " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Kolu throw-away CA' && openssl req" + key +
        " -keyout server.key -out server.csr -subj '/CN=localhost' && openssl x509 -req -in "
        "server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile san.cnf -out "
        "server.pem && chmod 0644 server.key)";  // read by ngIRCd once it is "nobody"
    if (std::system((script + " >openssl.log 2>&1").c_str()) != 0) {
        throw std::runtime_error("cannot make test certificates:\n" +
                                 readFile(dir + "openssl.log"));
    }
}

void NgircdFixture::spawn() {
    const std::string confPath = m_dir.file("ngircd.conf");
    const std::string logPath = m_dir.file("ngircd.log");
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (logFd < 0 || nullFd < 0) {
        ::close(logFd);
        ::close(nullFd);
        throw std::runtime_error("cannot open " + logPath + " or /dev/null");
    }
    const char* argv[] = {kBinary, "-n", "-f", confPath.c_str(), nullptr};
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        ::execv(kBinary, const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(logFd);
    ::close(nullFd);
    if (pid < 0) {
        throw std::runtime_error("cannot start ngIRCd: fork failed");
    }
    m_pid = pid;
    m_ending.clear();
}

bool NgircdFixture::startOnce() {
    m_port = FakeIrcServer::refusedPort();
    m_tlsPort = m_options.tls ? FakeIrcServer::refusedPort() : 0;
    writeFiles();
    spawn();
    // ngIRCd writes ::1 as 0::1.
    const std::string shown = m_options.listen == "::1" ? "0::1" : m_options.listen;
    const std::string listening = "Now listening on [" + shown + "]:" + std::to_string(m_port);
    const auto deadline = Clock::now() + kStartDeadline;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_ending = describeExit(status);
            if (log().find("Address already in use") != std::string::npos) {
                return false;
            }
            throw std::runtime_error("ngIRCd stopped before listening on " + m_options.listen +
                                     ":" + std::to_string(m_port) + "; output:\n" + log());
        }
        // The log line proves ngIRCd owns the port; the connection proves it accepts.
        if (log().find(listening) != std::string::npos) {
            const int probe = connectTcp(host(), m_port, std::chrono::milliseconds(500));
            if (probe >= 0) {
                ::close(probe);
                return true;
            }
        }
        if (Clock::now() > deadline) {
            stop();
            throw std::runtime_error("ngIRCd did not accept connections on " + m_options.listen +
                                     ":" + std::to_string(m_port) + " within 5 s; output:\n" +
                                     log());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void NgircdFixture::stop() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    const auto deadline = Clock::now() + kStopDeadline;
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(m_pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (reaped == 0) {
        ::kill(m_pid, SIGKILL);
        reaped = ::waitpid(m_pid, &status, 0);
    }
    m_ending = reaped == m_pid ? describeExit(status) : "ngIRCd could not be reaped";
    m_pid = -1;
}

std::string NgircdFixture::log() const {
    std::string text = readFile(m_dir.file("ngircd.log"));
    if (!m_ending.empty()) {
        text += "[" + m_ending + "]\n";
    }
    return text;
}

std::string NgircdFixture::config() const {
    return readFile(m_dir.file("ngircd.conf"));
}

std::unique_ptr<NgircdFixture> NgircdSuite::s_server;
std::string NgircdSuite::s_startError;

void NgircdSuite::SetUpTestSuite() {
    try {
        s_server = std::make_unique<NgircdFixture>();
    } catch (const std::exception& error) {
        s_startError = error.what();
    }
}

void NgircdSuite::TearDownTestSuite() {
    s_server.reset();
    s_startError.clear();
}

void NgircdSuite::SetUp() {
    if (!s_server) {
        FAIL() << "ngIRCd did not start: " << s_startError;
    }
}

}  // namespace kolu::test
