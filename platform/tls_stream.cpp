#include "platform/tls_stream.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <dirent.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

namespace kolu {
namespace {

// The most specific reason OpenSSL queued, or `fallback`; the queue is cleared.
std::string queuedProblem(const char* fallback) {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return reason != nullptr ? reason : fallback;
}

std::string sha256Fingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &size) != 1) {
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        if (i > 0) {
            text += ':';
        }
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}

// The system's authorities (SSL_CERT_FILE and SSL_CERT_DIR may name others).
// Whether any could be found: the loading call succeeds even when none can.
bool loadAuthorities(SSL_CTX* context) {
    if (SSL_CTX_set_default_verify_paths(context) != 1) {
        ERR_clear_error();
        return false;
    }
    if (sk_X509_OBJECT_num(X509_STORE_get0_objects(SSL_CTX_get_cert_store(context))) > 0) {
        return true;
    }
    // A folder's authorities are read only when needed: its hashed names count.
    const char* folders = std::getenv(X509_get_default_cert_dir_env());
    std::stringstream list(folders != nullptr ? folders : X509_get_default_cert_dir());
    for (std::string folder; std::getline(list, folder, ':');) {
        if (DIR* dir = ::opendir(folder.c_str())) {
            bool found = false;
            for (const dirent* entry; !found && (entry = ::readdir(dir)) != nullptr;) {
                const std::string_view name = entry->d_name;
                found = name.size() == 10 && name.substr(8) == ".0";
            }
            ::closedir(dir);
            if (found) {
                return true;
            }
        }
    }
    return false;
}

// Whether `path` can be read; `problem` says why not. OpenSSL's own reasons for
// a missing file are too terse to act on.
bool readable(const std::string& path, const char* what, std::string& problem) {
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        return true;
    }
    problem = std::string(what) + " " + path + ": " + std::strerror(errno);
    return false;
}

// Loads the client certificate and its key into `context`; false with `problem` set.
bool useClientCert(SSL_CTX* context, const TlsClientCert& cert, std::string& problem) {
    const std::string& keyFile = cert.keyFile.empty() ? cert.certFile : cert.keyFile;
    if (!readable(cert.certFile, "client certificate", problem) ||
        !readable(keyFile, "client key", problem)) {
        return false;
    }
    if (SSL_CTX_use_certificate_chain_file(context, cert.certFile.c_str()) != 1) {
        problem = "client certificate " + cert.certFile + ": " + queuedProblem("not a certificate");
        return false;
    }
    // Loading the key already compares it with the certificate.
    if (SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 &&
        ERR_GET_REASON(ERR_peek_last_error()) != X509_R_KEY_VALUES_MISMATCH) {
        problem = "client key " + keyFile + ": " + queuedProblem("not a key");
        return false;
    }
    if (ERR_peek_last_error() != 0 || SSL_CTX_check_private_key(context) != 1) {
        ERR_clear_error();
        problem = "the client key does not belong to the client certificate";
        return false;
    }
    return true;
}

bool isAddressLiteral(const std::string& host) {
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

}  // namespace

struct TlsStream::Handles {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;

    ~Handles() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

TlsStream::TlsStream(std::unique_ptr<Handles> handles) : m_handles(std::move(handles)) {}

TlsStream::~TlsStream() = default;

std::unique_ptr<TlsStream> TlsStream::open(int fd, std::string_view hostName, std::string& problem,
                                           const TlsClientCert& cert) {
    // OpenSSL writes to the socket with write(), not send(MSG_NOSIGNAL): a peer
    // that has gone must fail the write, not end the program.
    static std::once_flag ignorePipe;
    std::call_once(ignorePipe, [] { std::signal(SIGPIPE, SIG_IGN); });

    if (hostName.size() > 2 && hostName.front() == '[' && hostName.back() == ']') {
        hostName = hostName.substr(1, hostName.size() - 2);
    }
    const std::string host(hostName);
    ERR_clear_error();
    auto handles = std::make_unique<Handles>();
    handles->context = SSL_CTX_new(TLS_client_method());
    if (handles->context == nullptr) {
        problem = queuedProblem("no TLS context");
        return nullptr;
    }
    SSL_CTX* context = handles->context;
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    const bool authorities = loadAuthorities(context);
    // Verified, but not fatal inside the handshake: the caller weighs the verdict
    // against the fingerprints the user trusted.
    SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    // Servers often close without a goodbye: that reads as the end, not an error.
    // A renegotiation would let a write wait for a read: it is refused.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (!cert.certFile.empty() && !useClientCert(context, cert, problem)) {
        return nullptr;
    }

    handles->ssl = SSL_new(context);
    SSL* ssl = handles->ssl;
    if (ssl == nullptr || SSL_set_fd(ssl, fd) != 1) {
        problem = queuedProblem("no TLS session");
        return nullptr;
    }
    SSL_set_connect_state(ssl);
    const bool named = !host.empty() && !isAddressLiteral(host);
    const int checked = named ? SSL_set1_host(ssl, host.c_str())
                              : X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
    if (checked != 1 || (named && SSL_set_tlsext_host_name(ssl, host.c_str()) != 1)) {
        problem = queuedProblem("host name not usable for TLS");
        return nullptr;
    }
    auto stream = std::unique_ptr<TlsStream>(new TlsStream(std::move(handles)));
    stream->m_noAuthorities = !authorities;
    return stream;
}

TlsStep TlsStream::handshake(TlsPeer& peer) {
    SSL* ssl = m_handles->ssl;
    ERR_clear_error();
    errno = 0;
    const int rc = SSL_do_handshake(ssl);
    const int error = rc == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl, rc);
    if (error == SSL_ERROR_WANT_READ) {
        return TlsStep::kWantRead;
    }
    if (error == SSL_ERROR_WANT_WRITE) {
        return TlsStep::kWantWrite;
    }
    X509* certificate = SSL_get0_peer_certificate(ssl);
    peer.fingerprint = certificate != nullptr ? sha256Fingerprint(certificate) : std::string();
    if (error != SSL_ERROR_NONE) {
        peer.verified = false;
        if (error == SSL_ERROR_SYSCALL && errno != 0) {
            peer.problem = std::strerror(errno);
            ERR_clear_error();
        } else if (error == SSL_ERROR_SSL) {
            peer.problem = queuedProblem("handshake failed");
        } else {
            peer.problem = "connection closed during the handshake";
            ERR_clear_error();
        }
        return TlsStep::kFailed;
    }
    m_established = true;
    const long verdict = SSL_get_verify_result(ssl);
    peer.verified = certificate != nullptr && verdict == X509_V_OK;
    peer.problem = certificate == nullptr ? "no certificate"
                   : peer.verified        ? ""
                                          : X509_verify_cert_error_string(verdict);
    if (!peer.verified && m_noAuthorities) {
        peer.problem += "; no trusted authorities could be loaded";
    }
    return TlsStep::kDone;
}

namespace {

// Why an SSL_read or SSL_write moved nothing; `errnoValue` for a failure.
TlsStream::Stall stallOf(SSL* ssl, int rc, int& errnoValue) {
    switch (SSL_get_error(ssl, rc)) {
        case SSL_ERROR_WANT_READ:
            return TlsStream::Stall::kWantRead;
        case SSL_ERROR_WANT_WRITE:
            return TlsStream::Stall::kWantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return TlsStream::Stall::kClosed;
        case SSL_ERROR_SYSCALL:
            if (errno != 0) {
                errnoValue = errno;
                ERR_clear_error();
                return TlsStream::Stall::kFailed;
            }
            return TlsStream::Stall::kClosed;
        default:
            // A damaged or forged record: the connection can't be trusted further.
            ERR_clear_error();
            errnoValue = ECONNABORTED;
            return TlsStream::Stall::kFailed;
    }
}

// One SSL_read or SSL_write (`call`): the bytes it moved, or 0 and why none were.
template <typename Call>
int transfer(SSL* ssl, int length, TlsStream::Stall& stall, int& errnoValue, Call call) {
    stall = TlsStream::Stall::kNone;
    if (length <= 0) {
        return 0;
    }
    ERR_clear_error();
    errno = 0;
    const int rc = call();
    if (rc > 0) {
        return rc;
    }
    stall = stallOf(ssl, rc, errnoValue);
    return 0;
}

}  // namespace

int TlsStream::read(char* buffer, int length, Stall& stall, int& errnoValue) {
    SSL* ssl = m_handles->ssl;
    return transfer(ssl, length, stall, errnoValue, [&] { return SSL_read(ssl, buffer, length); });
}

int TlsStream::write(const char* data, int length, Stall& stall, int& errnoValue) {
    SSL* ssl = m_handles->ssl;
    const int sent =
        transfer(ssl, length, stall, errnoValue, [&] { return SSL_write(ssl, data, length); });
    if (stall == Stall::kClosed) {
        errnoValue = EPIPE;  // the peer said goodbye: nothing more can be sent
        stall = Stall::kFailed;
    }
    return sent;
}

bool TlsStream::readable() {
    SSL* ssl = m_handles->ssl;
    if (SSL_pending(ssl) > 0) {
        return true;
    }
    char byte = 0;
    ERR_clear_error();
    const int rc = SSL_peek(ssl, &byte, 1);
    if (rc > 0) {
        return true;
    }
    const int error = SSL_get_error(ssl, rc);
    ERR_clear_error();
    // Part of a record, or only handshake messages: nothing to read yet.
    return error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE;
}

void TlsStream::shutdown() {
    if (m_established) {
        SSL_shutdown(m_handles->ssl);
        ERR_clear_error();
    }
}

}  // namespace kolu
