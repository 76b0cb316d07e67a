#pragma once
// A server for the client's TLS ports: it listens on a free 127.0.0.1 port with a fresh
// self-signed certificate (made as makeClientCertificate makes one), takes one client, keeps the first byte that client sent before
// any TLS was spoken, can hold the handshake until the test lets it go, and then keeps
// every line read through TLS. What it says to the client is fixed in advance: a
// greeting sent once the handshake is done.
#include <openssl/types.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace kolu::test {

// SHA-256 of the certificate in a PEM file as the client prints it, "AB:CD:..."; "" when the
// file holds none.
std::string pemFingerprint(const std::string& path);

// A self-signed certificate, as a client offers one, and the fingerprint services hold for it.
struct ClientCertificate {
    std::string certFile, keyFile;
    std::string fingerprint;  // SHA-256, lowercase hex without separators
};

// A new key pair and self-signed certificate for `name` (its subject and DNS name), `name`.pem
// and `name`.key in `folder` (ending in '/'); throws std::runtime_error when it can't be made.
ClientCertificate makeClientCertificate(const std::string& folder, const std::string& name);

class TlsTestServer {
  public:
    // Throws std::runtime_error when it can't listen or make its certificate.
    explicit TlsTestServer(bool holdHandshake = false, std::string greeting = {});
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    int port() const { return m_port; }
    // SHA-256 of the certificate as the client prints it, "AB:CD:...".
    const std::string& fingerprint() const { return m_fingerprint; }
    // The first byte the client sent; none before it sent any.
    std::optional<unsigned char> firstByte() const;
    // Lets a held handshake go on.
    void release();

    // This server's certificate and key, for a client to offer as its own.
    const ClientCertificate& pem() const { return m_pem; }

    // Every line read through TLS so far, without its LF.
    std::vector<std::string> lines() const;

  private:
    void run();

    TempDir m_dir;
    ClientCertificate m_pem;
    SSL_CTX* m_context = nullptr;
    std::string m_fingerprint;
    std::string m_greeting;
    int m_listenFd = -1;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_clientFd = -1;
    std::optional<unsigned char> m_firstByte;
    bool m_released = true;
    bool m_stopping = false;
    std::vector<std::string> m_lines;

    std::thread m_thread;
};

}  // namespace kolu::test
