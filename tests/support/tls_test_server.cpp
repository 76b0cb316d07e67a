#include "tests/support/tls_test_server.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "tests/support/fake_irc_server.h"

namespace kolu::test {

std::string pemFingerprint(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    X509* certificate = file ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
    if (file) {
        std::fclose(file);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (certificate) {
        X509_digest(certificate, EVP_sha256(), digest, &size);
    }
    X509_free(certificate);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += i > 0 ? ":" : "";
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}

ClientCertificate makeClientCertificate(const std::string& folder, const std::string& name) {
    ClientCertificate made{folder + name + ".pem", folder + name + ".key", {}};
    const std::string script =
        "openssl req -x509 -nodes -days 2 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
        " -subj '/CN=" +
        name + "' -addext 'subjectAltName=DNS:" + name + "' -keyout '" + made.keyFile + "' -out '" +
        made.certFile + "' >'" + folder + name + ".log' 2>&1";
    // "AB:CD:...", as services keep it: lowercase hex digits alone.
    for (const char c : std::system(script.c_str()) == 0 ? pemFingerprint(made.certFile) : "") {
        if (c != ':') {
            made.fingerprint += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (made.fingerprint.size() != 64) {
        std::ifstream log(folder + name + ".log");
        throw std::runtime_error("cannot make the certificate " + made.certFile + ":\n" +
                                 std::string(std::istreambuf_iterator<char>(log), {}));
    }
    return made;
}


TlsTestServer::TlsTestServer(bool holdHandshake, std::string greeting)
    : m_pem(makeClientCertificate(m_dir.path(), "server")),
      m_context(SSL_CTX_new(TLS_server_method())),
      m_fingerprint(pemFingerprint(m_pem.certFile)),
      m_greeting(std::move(greeting)),
      m_released(!holdHandshake) {
    if (m_context == nullptr ||
        SSL_CTX_use_certificate_file(m_context, m_pem.certFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_context, m_pem.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(m_context);
        throw std::runtime_error("cannot load the test certificate");
    }
    // A client certificate is asked for, and any is taken: tests check which came.
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
    m_listenFd = bindLoopback(m_port);
    if (::listen(m_listenFd, 4) != 0) {
        ::close(m_listenFd);
        SSL_CTX_free(m_context);
        throw std::runtime_error("cannot listen");
    }
    m_thread = std::thread([this] { run(); });
}

TlsTestServer::~TlsTestServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        // Wakes a blocking accept or read.
        ::shutdown(m_listenFd, SHUT_RDWR);
        if (m_clientFd >= 0) {
            ::shutdown(m_clientFd, SHUT_RDWR);
        }
    }
    m_changed.notify_all();
    m_thread.join();
    ::close(m_listenFd);
    SSL_CTX_free(m_context);
}

void TlsTestServer::run() {
    const int fd = ::accept(m_listenFd, nullptr, nullptr);
    {
        std::lock_guard lock(m_mutex);
        if (fd < 0 || m_stopping) {
            if (fd >= 0) {
                ::close(fd);
            }
            return;
        }
        m_clientFd = fd;
    }
    unsigned char first = 0;
    const bool any = ::recv(fd, &first, 1, MSG_PEEK) == 1;
    SSL* ssl = nullptr;
    {
        std::unique_lock lock(m_mutex);
        if (any) {
            m_firstByte = first;
        }
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released || m_stopping; });
        if (!m_stopping && any) {
            ssl = SSL_new(m_context);
        }
    }
    if (ssl != nullptr && SSL_set_fd(ssl, fd) == 1 && SSL_accept(ssl) == 1 &&
        (m_greeting.empty() ||
         SSL_write(ssl, m_greeting.data(), static_cast<int>(m_greeting.size())) > 0)) {
        std::string buffer;
        char chunk[4096];
        int got = 0;
        while ((got = SSL_read(ssl, chunk, sizeof chunk)) > 0) {
            buffer.append(chunk, static_cast<std::size_t>(got));
            std::lock_guard lock(m_mutex);
            while (std::optional<std::string> line = takeLine(buffer)) {
                m_lines.push_back(std::move(*line));
            }
        }
    }
    SSL_free(ssl);
    std::lock_guard lock(m_mutex);
    m_clientFd = -1;
    ::close(fd);
}

std::optional<unsigned char> TlsTestServer::firstByte() const {
    std::lock_guard lock(m_mutex);
    return m_firstByte;
}

void TlsTestServer::release() {
    std::lock_guard lock(m_mutex);
    m_released = true;
    m_changed.notify_all();
}

std::vector<std::string> TlsTestServer::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

}  // namespace kolu::test
