#include "tests/support/inspircd_fixture.h"

#include <fcntl.h>
#include <grp.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/fake_irc_server.h"
#include "tests/support/raw_irc_client.h"

namespace kolu::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kServerBinary = "/usr/sbin/inspircd";
constexpr const char* kServicesBinary = "/usr/sbin/anope";
constexpr const char* kLinkPassword = "kolu-link-secret";
// The services administrator addCertificate() acts as.
constexpr const char* kAdminNick = "KoluAdmin";
constexpr const char* kAdminPassword = "kolu-admin-secret";

// Who a child runs as: anyone but root, who gets "nobody" (Anope pauses three seconds at
// start to warn a root user).
struct Identity {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};

Identity unprivileged() {
    Identity identity;
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        identity = {true, nobody ? nobody->pw_uid : 65534, nobody ? nobody->pw_gid : 65534};
    }
    return identity;
}

// Starts `args` with no input and its output in `logPath`; -1 when it can't.
pid_t spawn(const std::vector<std::string>& args, const std::string& logPath,
            const Identity& identity) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = logFd < 0 || nullFd < 0 ? -1 : ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec. A crashing server leaves no core
        // file behind, and dies with the tests; the death signal is set after the change of
        // user, which would clear it.
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (identity.drop && (::setgroups(0, nullptr) != 0 || ::setgid(identity.gid) != 0 ||
                              ::setuid(identity.uid) != 0)) {
            ::_exit(125);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(logFd, STDOUT_FILENO);
        ::dup2(logFd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (logFd >= 0) {
        ::close(logFd);
    }
    if (nullFd >= 0) {
        ::close(nullFd);
    }
    return pid;
}

void terminate(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid = -1;
}

enum class Wait { Seen, Exited, TimedOut };

// Until `done` holds, `pid` ends (it is then reaped) or five seconds pass.
Wait waitUntil(pid_t& pid, const std::function<bool()>& done) {
    for (const auto deadline = Clock::now() + std::chrono::seconds(5);;) {
        if (done()) {
            return Wait::Seen;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return done() ? Wait::Seen : Wait::Exited;
        }
        if (Clock::now() > deadline) {
            return Wait::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// The welcome 900 (logged in) ends a NickServ registration or identification; what services
// said instead shows in the transcript.
testing::AssertionResult loggedIn(RawIrcClient& client, const std::string& what) {
    if (!client.waitForCommand({"900"})) {
        return testing::AssertionFailure() << what << " did not log in; last lines:\n"
                                           << client.transcript();
    }
    return testing::AssertionSuccess();
}

}  // namespace

InspircdFixture::InspircdFixture(InspircdOptions options) : m_options(options) {
    for (const char* binary : {kServerBinary, kServicesBinary}) {
        if (::access(binary, X_OK) != 0) {
            throw std::runtime_error(std::string(binary) +
                                     " is not installed (scripts/deps.sh installs it)");
        }
    }
    const std::string script =
        "cd '" + m_dir.path() +
        "' && openssl req -x509 -nodes -days 2 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
        " -subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout server.key -out"
        " server.pem >openssl.log 2>&1";
    if (std::system(script.c_str()) != 0) {
        throw std::runtime_error("cannot make a test certificate:\n" + m_dir.read("openssl.log"));
    }
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

void InspircdFixture::writeServerConfig() const {
    const std::string dir = m_dir.path();
    std::ofstream conf(m_dir.file("inspircd.conf"), std::ios::trunc);
    conf << "<server name=\"" << kServerName
         << "\" description=\"Kolu test server\" id=\"0KO\" network=\"KoluTest\">\n"
         << "<admin name=\"Kolu tests\" nick=\"admin\" email=\"tests@irc.test\">\n"
         << "<pid file=\"" << dir << "inspircd.pid\">\n"
         << "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" flush=\"1\""
         << " target=\"" << dir << "inspircd.log\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_port << "\" type=\"clients\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_tlsPort
         << "\" type=\"clients\" sslprofile=\"Clients\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << m_linkPort
         << "\" type=\"servers\">\n"
         // The fingerprint's hash is the one services are told to expect.
         << "<sslprofile name=\"Clients\" provider=\"gnutls\" certfile=\"" << dir
         << "server.pem\" keyfile=\"" << dir
         << "server.key\" hash=\"sha256\" requestclientcert=\"yes\">\n"
         << "<files motd=\"" << dir
         << "motd.txt\">\n"
         // Loopback only: no lookups, and no limits or penalties that would slow tests down.
         << "<connect name=\"main\" allow=\"*\" maxchans=\"100\" localmax=\"1000\""
         << " globalmax=\"1000\" maxconnwarn=\"no\" resolvehostnames=\"no\" useident=\"no\""
         << " limit=\"5000\" pingfreq=\"120\" timeout=\"60\" sendq=\"1048576\" recvq=\"65536\""
         << " threshold=\"1000\" commandrate=\"1000000\" fakelag=\"no\" motd=\"motd\""
         << " usests=\"" << (m_options.sts ? "yes" : "no") << "\">\n"
         << "<dns server=\"127.0.0.1\" timeout=\"1\">\n"
         << "<class name=\"Everything\" commands=\"*\" privs=\"*\" usermodes=\"*\" "
            "chanmodes=\"*\">\n"
         << "<type name=\"NetAdmin\" classes=\"Everything\">\n"
         << "<oper name=\"" << kOperName << "\" password=\"" << kOperPassword
         << "\" host=\"*@*\" type=\"NetAdmin\">\n"
         << "<options defaultmodes=\"not\">\n"
         << "<link name=\"" << kServicesName << "\" ipaddr=\"127.0.0.1\" port=\"" << m_linkPort
         << "\" allowmask=\"127.0.0.0/8\" sendpass=\"" << kLinkPassword << "\" recvpass=\""
         << kLinkPassword << "\">\n"
         << "<uline server=\"" << kServicesName << "\" silent=\"yes\">\n"
         << "<sasl target=\"" << kServicesName << "\" requiressl=\"no\">\n";
    if (m_options.sts) {
        conf << "<sts host=\"*\" duration=\"" << m_options.stsDuration << "\" port=\"" << m_tlsPort
             << "\" preload=\"no\">\n";
    }
    std::vector<std::string> modules = {
        "cap", "ircv3", "ircv3_accounttag", "ircv3_batch", "ircv3_capnotify", "ircv3_chghost",
        "ircv3_ctctags", "ircv3_echomessage", "ircv3_invitenotify", "ircv3_labeledresponse",
        "ircv3_msgid", "ircv3_servertime", "monitor", "namesx", "uhnames", "sasl",
        "services_account", "spanningtree", "chghost", "ssl_gnutls", "sslinfo",
        // Services will not link without it.
        "hidechans"};
    if (m_options.sts) {
        modules.push_back("ircv3_sts");
    }
    for (const std::string& module : modules) {
        conf << "<module name=\"" << module << "\">\n";
    }
}

void InspircdFixture::writeServicesConfig() const {
    const std::string dir = m_dir.file("anope/");
    std::ofstream conf(dir + "services.conf", std::ios::trunc);
    conf << "define { name = \"services.host\"; value = \"" << kServicesName << "\" }\n"
         << "uplink { host = \"127.0.0.1\"; ipv6 = no; ssl = no; port = " << m_linkPort
         << "; password = \"" << kLinkPassword << "\" }\n"
         << "serverinfo { name = \"" << kServicesName
         << "\"; description = \"Kolu test services\"; pid = \"" << dir
         << "services.pid\"; motd = \"" << dir << "services.motd\" }\n"
         << "module { name = \"inspircd3\"; use_server_side_mlock = yes;"
         << " use_server_side_topiclock = yes }\n"
         << "networkinfo { networkname = \"KoluTest\"; nicklen = 31; userlen = 10; hostlen = 64;"
         << " chanlen = 32; modelistsize = 100;"
         << " vhost_chars = \"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-\";"
         << " allow_undotted_vhosts = false; disallow_start_or_end = \".-\" }\n"
         // The server's own case mapping, or the link is refused; a second between tries to
         // reach the server; many wrong passwords before a kill.
         << "options { seed = 2938471; casemap = \"rfc1459\"; strictpasswords = yes;"
         << " badpasslimit = 1000; badpasstimeout = 1h; updatetimeout = 5m; expiretimeout = 30m;"
         << " readtimeout = 5s; warningtimeout = 4h; timeoutcheck = 1s; retrywait = 1s;"
         << " hideprivilegedcommands = yes; hideregisteredcommands = yes }\n"
         << "mail { usemail = no }\n"
         << "module { name = \"db_flatfile\"; database = \"anope.db\"; keepbackups = 0;"
         << " fork = no }\n"
         // Passwords kept as they are, so accounts can be written before services start.
         << "module { name = \"enc_none\" }\n"
         << "log { target = \"services.log\"; admin = \"*\"; commands = \"*\"; servers = \"*\";"
         << " users = \"connect disconnect nick\"; other = \"*\"; rawio = no; debug = no }\n"
         << "opertype { name = \"Services Root\"; commands = \"*\"; privs = \"*\" }\n"
         << "oper { name = \"" << kAdminNick
         << "\"; type = \"Services Root\"; require_oper = no }\n"
         << "service { nick = \"NickServ\"; user = \"services\"; host = \"services.host\";"
         << " gecos = \"Nickname Registration Service\" }\n"
         // Registration needs no e-mail, no waiting and no confirmation, and a registered
         // nickname is not taken back from whoever uses it.
         << "module { name = \"nickserv\"; client = \"NickServ\"; forceemail = no;"
         << " confirmemailchanges = no; defaults = \"ns_secure ns_private hide_email hide_mask\";"
         << " regdelay = 0s; expire = 21d; secureadmins = yes; modeonid = yes;"
         << " hidenetsplitquit = no; killquick = 20s; kill = 60s; enforceruser = \"enforcer\";"
         << " enforcerhost = \"services.host\"; releasetimeout = 1m;"
         << " guestnickprefix = \"Guest\"; nonicknameownership = yes; passlen = 32 }\n"
         << "module { name = \"help\" }\n"
         << "command { service = \"NickServ\"; name = \"HELP\"; command = \"generic/help\" }\n"
         << "module { name = \"ns_register\"; registration = \"none\"; resenddelay = 90s }\n"
         << "command { service = \"NickServ\"; name = \"REGISTER\";"
         << " command = \"nickserv/register\" }\n"
         << "module { name = \"ns_identify\"; maxlogins = 100 }\n"
         << "command { service = \"NickServ\"; name = \"IDENTIFY\";"
         << " command = \"nickserv/identify\" }\n"
         << "module { name = \"ns_cert\"; max = 5 }\n"
         << "command { service = \"NickServ\"; name = \"CERT\"; command = \"nickserv/cert\" }\n"
         << "module { name = \"m_sasl\" }\n";
}

void InspircdFixture::writeServicesDatabase() const {
    std::ofstream db(m_dir.file("anope/data/anope.db"), std::ios::trunc);
    const auto base64 = [](const std::string& bytes) {
        std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
        out.resize(static_cast<std::size_t>(EVP_EncodeBlock(
            reinterpret_cast<unsigned char*>(out.data()),
            reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()))));
        return out;
    };
    unsigned long long id = 1000;
    for (const ServicesAccount& account : m_options.accounts) {
        db << "OBJECT NickCore\nDATA display " << account.name << "\nDATA uniqueid " << ++id
           << "\nDATA pass plain:" << base64(account.password) << "\nDATA email \nDATA cert ";
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
    writeServerConfig();
    writeServicesConfig();
    writeServicesDatabase();

    std::vector<std::string> server = {kServerBinary, "--nofork",
                                       "--config=" + m_dir.file("inspircd.conf")};
    if (::geteuid() == 0) {
        server.push_back("--runasroot");
    }
    m_server = spawn(server, m_dir.file("inspircd.out"), Identity{});
    if (m_server < 0) {
        throw std::runtime_error("cannot start InspIRCd (fork, or opening its output file)");
    }
    // InspIRCd buffers its log, so readiness is seen on the wire: the client port accepts.
    const auto listening = [&] {
        RawIrcClient probe;
        return static_cast<bool>(probe.connect(host(), m_port));
    };
    if (const Wait seen = waitUntil(m_server, listening); seen != Wait::Seen) {
        stop();
        if (lostAPort()) {
            return false;
        }
        throw std::runtime_error(
            std::string("InspIRCd ") +
            (seen == Wait::Exited ? "stopped while starting" : "did not listen within 5 s") +
            "; output:\n" + logs());
    }
    if (lostAPort()) {
        stop();
        return false;
    }

    // Services run as "nobody" when the tests run as root, so their folder is theirs, and the
    // folders above it can be passed through.
    const Identity identity = unprivileged();
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
    m_services = spawn({kServicesBinary, "--nofork", "--confdir=" + anope,
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
        if (!connected || !probe.send("CAP LS 302")) {
            return false;
        }
        bool offered = false;
        while (const auto line = probe.waitForCommand({"CAP"})) {
            offered = offered || line->find(" sasl=") != std::string::npos;
            const std::vector<std::string> params = RawIrcClient::paramsOf(*line);
            if (params.size() < 4 || params[2] != "*") {
                break;  // the last line of the list
            }
        }
        return offered;
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
    terminate(m_services);
    terminate(m_server);
}

std::string InspircdFixture::logs() const {
    return "--- InspIRCd ---\n" + m_dir.read("inspircd.out") + serverLog() + "--- Anope ---\n" +
           m_dir.read("anope.out");
}

testing::AssertionResult InspircdFixture::registerAccount(const std::string& nick,
                                                          const std::string& password) {
    RawIrcClient client;
    testing::AssertionResult result = client.connect(host(), m_port);
    if (result) {
        result = client.login(nick);
    }
    if (result) {
        client.send("PRIVMSG NickServ :REGISTER " + password + " " + nick + "@example.org");
        result = loggedIn(client, "registering " + nick);
    }
    client.quit();
    return result;
}

testing::AssertionResult InspircdFixture::addCertificate(const std::string& account,
                                                         const std::string& fingerprint) {
    RawIrcClient admin;
    testing::AssertionResult result = admin.connect(host(), m_port);
    if (result) {
        result = admin.login(kAdminNick);
    }
    if (result) {
        admin.send(std::string("PRIVMSG NickServ :") +
                   (m_adminRegistered ? "IDENTIFY " : "REGISTER ") + kAdminPassword);
        result = loggedIn(admin, "the services administrator");
        m_adminRegistered = m_adminRegistered || result;
    }
    if (result) {
        admin.send("PRIVMSG NickServ :CERT ADD " + account + " " + fingerprint);
        const auto answer = admin.waitFor([](const std::string& line) {
            return RawIrcClient::commandOf(line) == "NOTICE" &&
                   RawIrcClient::nickOf(line) == "NickServ";
        });
        if (!answer || answer->find(fingerprint + "\x02 added to ") == std::string::npos) {
            result = testing::AssertionFailure()
                     << "NickServ did not add the certificate to " << account << "; last lines:\n"
                     << admin.transcript();
        }
    }
    admin.quit();
    return result;
}

ClientCertificate makeClientCertificate(const std::string& folder, const std::string& name) {
    ClientCertificate made{folder + name + ".pem", folder + name + ".key", {}};
    const std::string script =
        "openssl req -x509 -nodes -days 2 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
        " -subj '/CN=" +
        name + "' -keyout '" + made.keyFile + "' -out '" + made.certFile + "' >'" + folder + name +
        ".log' 2>&1";
    if (std::system(script.c_str()) != 0) {
        std::ifstream log(folder + name + ".log");
        throw std::runtime_error("cannot make a client certificate:\n" +
                                 std::string(std::istreambuf_iterator<char>(log), {}));
    }
    FILE* file = std::fopen(made.certFile.c_str(), "r");
    X509* certificate = file ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
    if (file) {
        std::fclose(file);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool digested = certificate && X509_digest(certificate, EVP_sha256(), digest, &size) == 1;
    X509_free(certificate);
    if (!digested) {
        throw std::runtime_error("cannot read back the client certificate " + made.certFile);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (unsigned int i = 0; i < size; ++i) {
        made.fingerprint += kHex[digest[i] >> 4];
        made.fingerprint += kHex[digest[i] & 0xF];
    }
    return made;
}

}  // namespace kolu::test
