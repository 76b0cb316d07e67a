#include "tests/support/tls_test_server.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "tests/support/fake_irc_server.h"

namespace kolu::test {

struct TlsTestServer::Tls {
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    SSL_CTX* context = nullptr;
    ~Tls() {
        SSL_CTX_free(context);
        X509_free(certificate);
        EVP_PKEY_free(key);
    }
};

namespace {

std::string fingerprintOf(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    X509_digest(certificate, EVP_sha256(), digest, &size);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += i > 0 ? ":" : "";
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}

}  // namespace

std::string pemFingerprint(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    X509* certificate = file ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
    if (file) {
        std::fclose(file);
    }
    const std::string text = certificate ? fingerprintOf(certificate) : "";
    X509_free(certificate);
    return text;
}

TlsTestServer::TlsTestServer(bool holdHandshake, std::string greeting)
    : m_tls(std::make_unique<Tls>()), m_greeting(std::move(greeting)), m_released(!holdHandshake) {
    Tls& tls = *m_tls;
    tls.key = EVP_EC_gen("P-256");
    tls.certificate = X509_new();
    X509* certificate = tls.certificate;
    X509_NAME* name = X509_get_subject_name(certificate);
    const bool made = tls.key != nullptr && X509_set_version(certificate, 2) == 1 &&
                      ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1) == 1 &&
                      X509_gmtime_adj(X509_getm_notBefore(certificate), -60) != nullptr &&
                      X509_gmtime_adj(X509_getm_notAfter(certificate), 86400) != nullptr &&
                      X509_NAME_add_entry_by_txt(
                          name, "CN", MBSTRING_ASC,
                          reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0) == 1 &&
                      X509_set_issuer_name(certificate, name) == 1 &&
                      X509_set_pubkey(certificate, tls.key) == 1 &&
                      X509_sign(certificate, tls.key, EVP_sha256()) > 0 &&
                      (tls.context = SSL_CTX_new(TLS_server_method())) != nullptr &&
                      SSL_CTX_use_certificate(tls.context, certificate) == 1 &&
                      SSL_CTX_use_PrivateKey(tls.context, tls.key) == 1;
    if (!made) {
        throw std::runtime_error("cannot make the test certificate");
    }
    m_fingerprint = fingerprintOf(certificate);
    // A client certificate is asked for, and any is taken: tests check which came.
    SSL_CTX_set_verify(tls.context, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
    m_listenFd = bindLoopback(m_port);
    if (::listen(m_listenFd, 4) != 0) {
        ::close(m_listenFd);
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
            ssl = SSL_new(m_tls->context);
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

void TlsTestServer::writePem(const std::string& certFile, const std::string& keyFile) const {
    std::FILE* cert = std::fopen(certFile.c_str(), "w");
    std::FILE* key = std::fopen(keyFile.c_str(), "w");
    const bool written =
        cert != nullptr && key != nullptr && PEM_write_X509(cert, m_tls->certificate) == 1 &&
        PEM_write_PrivateKey(key, m_tls->key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    for (std::FILE* file : {cert, key}) {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    if (!written) {
        throw std::runtime_error("cannot write the test certificate");
    }
}

std::vector<std::string> TlsTestServer::lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

}  // namespace kolu::test
