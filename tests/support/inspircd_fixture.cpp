#include "tests/support/inspircd_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/crypto.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/raw_irc_client.h"

namespace kolu::test {
namespace {

constexpr const char* kServerBinary = "/usr/sbin/inspircd";
constexpr const char* kServicesBinary = "/usr/sbin/anope";
constexpr const char* kLinkPassword = "kolu-link-secret";

}  // namespace

InspircdFixture::InspircdFixture(InspircdOptions options) : m_options(options) {
    for (const char* binary : {kServerBinary, kServicesBinary}) {
        if (::access(binary, X_OK) != 0) {
            throw std::runtime_error(std::string(binary) +
                                     " is not installed (scripts/deps.sh installs it)");
        }
    }
    makeClientCertificate(m_dir.path(), "localhost");  // self-signed: its own authority
    std::filesystem::create_directories(m_dir.file("anope/data"));
    std::filesystem::create_directories(m_dir.file("anope/logs"));
    std::ofstream(m_dir.file("motd.txt")) << "Welcome to the Kolu test server\n";
    std::ofstream(m_dir.file("anope/services.motd")) << "Kolu test services\n";
    try {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (startOnce()) {
                return;
            }
        }
    } catch (...) {
        stop();  // no destructor runs for a constructor that throws
        throw;
    }
    const std::string output = logs();
    throw std::runtime_error("InspIRCd found a port taken 5 times in a row; last output:\n" +
                             output);
}

void InspircdFixture::writeConfig(const std::string& name, const std::string& path) const {
    std::ifstream in(std::string(KOLU_TEST_SUPPORT_DIR) + "/inspircd/" + name);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.empty()) {
        throw std::runtime_error("cannot read the configuration template " + name);
    }
    const std::pair<std::string, std::string> values[] = {
        {"@DIR@", m_dir.path()},
        {"@PORT@", std::to_string(m_port)},
        {"@TLS_PORT@", std::to_string(m_tlsPort)},
        {"@LINK_PORT@", std::to_string(m_linkPort)},
        {"@LINK_PASSWORD@", kLinkPassword},
        {"@SERVER@", kServerName},
        {"@SERVICES@", kServicesName},
        {"@OPER_NAME@", kOperName},
        {"@OPER_PASSWORD@", kOperPassword},
        {"@USE_STS@", m_options.sts ? "yes" : "no"}};
    for (const auto& [key, value] : values) {
        for (std::size_t at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    if (m_options.sts && name == "inspircd.conf") {
        text += "<sts host=\"*\" duration=\"" + std::to_string(m_options.stsDuration) +
                "\" port=\"" + std::to_string(m_tlsPort) +
                "\" preload=\"no\">\n<module name=\"ircv3_sts\">\n";
    }
    std::ofstream(path, std::ios::trunc) << text;
}

void InspircdFixture::writeServicesDatabase() const {
    std::ofstream db(m_dir.file("anope/data/anope.db"), std::ios::trunc);
    unsigned long long id = 1000;
    for (const ServicesAccount& account : m_options.accounts) {
        db << "OBJECT NickCore\nDATA display " << account.name << "\nDATA uniqueid " << ++id
           << "\nDATA pass plain:" << base64Encode(account.password) << "\nDATA email \nDATA cert ";
        for (const std::string& fingerprint : account.fingerprints) {
            db << fingerprint << " ";
        }
        db << "\nEND\nOBJECT NickAlias\nDATA nick " << account.name
           << "\nDATA time_registered 1\nDATA last_seen 1\nDATA nc " << account.name << "\nEND\n";
    }
}

bool InspircdFixture::startOnce() {
    m_port = FakeIrcServer::refusedPort();
    m_tlsPort = FakeIrcServer::refusedPort();
    m_linkPort = FakeIrcServer::refusedPort();
    writeConfig("inspircd.conf", m_dir.file("inspircd.conf"));
    writeConfig("services.conf", m_dir.file("anope/services.conf"));
    writeServicesDatabase();

    std::vector<std::string> server = {kServerBinary, "--nofork",
                                       "--config=" + m_dir.file("inspircd.conf")};
    if (::geteuid() == 0) {
        server.push_back("--runasroot");
    }
    m_server = startProgram(server, m_dir.file("inspircd.out"));
    if (m_server < 0) {
        throw std::runtime_error("cannot start InspIRCd (fork, or opening its output file)");
    }
    // InspIRCd buffers its log, so readiness is seen on the wire: the client port accepts.
    const auto listening = [&] {
        RawIrcClient probe;
        return static_cast<bool>(probe.connect(host(), m_port));
    };
    if (const Wait seen = waitUntil(m_server, listening); seen != Wait::Seen || lostAPort()) {
        stop();
        if (lostAPort()) {
            return false;
        }
        throw std::runtime_error(
            std::string("InspIRCd ") +
            (seen == Wait::Exited ? "stopped while starting" : "did not listen within 5 s") +
            "; output:\n" + logs());
    }

    // Services run as "nobody" when the tests run as root, so their folder is theirs, and the
    // folders above it can be passed through.
    const RunAs identity = nobodyWhenRoot();
    if (identity.drop) {
        bool handed = ::chmod(m_dir.path().c_str(), 0711) == 0;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(m_dir.file("anope"))) {
            handed = handed && ::chown(entry.path().c_str(), identity.uid, identity.gid) == 0;
        }
        if (!handed || ::chown(m_dir.file("anope").c_str(), identity.uid, identity.gid) != 0) {
            stop();
            throw std::runtime_error("cannot hand the services' folder to nobody: " +
                                     m_dir.file("anope"));
        }
    }
    const std::string anope = m_dir.file("anope");
    m_services =
        startProgram({kServicesBinary, "--nofork", "--confdir=" + anope,
                      "--dbdir=" + anope + "/data", "--logdir=" + anope + "/logs",
                      "--modulesdir=/usr/lib/anope", "--localedir=/usr/share/anope/locale"},
                     m_dir.file("anope.out"), identity);
    if (m_services < 0) {
        stop();
        throw std::runtime_error("cannot start Anope (fork, or opening its output file)");
    }
    // The server offers SASL, with the mechanisms, once services have linked and sent them.
    RawIrcClient probe;
    const bool connected = probe.connect(host(), m_port);
    const auto linked = [&] {
        return connected && probe.send("CAP LS 302") &&
               probe.waitFor([](const std::string& line) {
                   return line.find(" sasl=") != std::string::npos;
               }, std::chrono::milliseconds(200));
    };
    if (const Wait seen = waitUntil(m_services, linked); seen != Wait::Seen) {
        const std::string reason = seen == Wait::Exited ? "Anope stopped before it linked"
                                                        : "Anope did not link within 5 s";
        stop();
        throw std::runtime_error(reason + "; output:\n" + logs());
    }
    return true;
}

bool InspircdFixture::lostAPort() const {
    // Printed at once, unlike the log, and InspIRCd goes on without the port.
    return m_dir.read("inspircd.out").find("listeners failed to bind") != std::string::npos;
}

void InspircdFixture::stop() {
    stopProgram(m_services);
    stopProgram(m_server);
}

std::string InspircdFixture::logs() const {
    return "--- InspIRCd ---\n" + m_dir.read("inspircd.out") + serverLog() + "--- Anope ---\n" +
           m_dir.read("anope.out");
}

}  // namespace kolu::test
