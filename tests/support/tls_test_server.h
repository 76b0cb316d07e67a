#pragma once
// A server for the client's TLS ports: it listens on a free 127.0.0.1 port with a fresh
// self-signed certificate, takes one client, keeps the first byte that client sent before
// any TLS was spoken, can hold the handshake until the test lets it go, and then keeps
// every line read through TLS. What it says to the client is fixed in advance: a
// greeting sent once the handshake is done.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kolu::test {

// SHA-256 of the certificate in a PEM file as the client prints it, "AB:CD:..."; "" when the
// file holds none.
std::string pemFingerprint(const std::string& path);

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

    // Writes this server's certificate and key as PEM, for a client to offer as its own.
    void writePem(const std::string& certFile, const std::string& keyFile) const;

    // Every line read through TLS so far, without its LF.
    std::vector<std::string> lines() const;

  private:
    struct Tls;
    void run();

    std::unique_ptr<Tls> m_tls;
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
