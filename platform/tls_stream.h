#pragma once
// TLS over a connected non-blocking TCP socket (OpenSSL): the handshake step by
// step, so the window never waits on it, then reads and writes of the plain
// bytes. The certificate is checked against the system's trusted authorities
// and the host name, but the verdict is handed to the caller with the
// certificate's fingerprint, so the caller can honour a fingerprint the user
// trusted; nothing is sent before the caller has accepted the peer.
#include <memory>
#include <string>
#include <string_view>

namespace kolu {

// What the handshake needs next, or how it ended.
enum class TlsStep { kDone, kWantRead, kWantWrite, kFailed };

// The certificate the client proves itself with, as PEM files; no certificate
// file, no certificate. The key may share the certificate's file.
struct TlsClientCert {
    std::string certFile;
    std::string keyFile;  // empty: the key is in certFile
};

// The peer as the handshake left it.
struct TlsPeer {
    bool verified = false;    // chain and host name both check out
    std::string problem;      // why the handshake failed or the peer isn't verified
    std::string fingerprint;  // SHA-256 of the certificate, "AB:CD:..." (once it is known)
};

class TlsStream {
  public:
    // Outcome of a read or write that moved no bytes.
    enum class Stall { kNone, kWantRead, kWantWrite, kClosed, kFailed };

    // TLS 1.2 or newer on `fd` for `hostName` (a name gets SNI and a name check,
    // an address literal an address check), offering `cert` when the server asks
    // for one. Null and `problem` set on failure, a certificate or key that can't
    // be read or don't belong together included.
    static std::unique_ptr<TlsStream> open(int fd, std::string_view hostName, std::string& problem,
                                           const TlsClientCert& cert = {});
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    TlsStep handshake(TlsPeer& peer);
    bool established() const { return m_established; }

    // Plain bytes read (> 0), or 0 with `stall` saying why none were (the errno
    // value of a failure in `errnoValue`).
    int read(char* buffer, int length, Stall& stall, int& errnoValue);
    // Plain bytes taken (> 0), or 0 with `stall` saying why none were.
    int write(const char* data, int length, Stall& stall, int& errnoValue);
    // Whether a read would return at once: decrypted bytes wait, or the socket's
    // bytes complete a record, or the connection has ended (the read tells which).
    bool readable();
    // Tells the peer the connection ends, without waiting for its answer.
    void shutdown();

  private:
    struct Handles;
    explicit TlsStream(std::unique_ptr<Handles> handles);

    std::unique_ptr<Handles> m_handles;
    bool m_established = false;
    bool m_noAuthorities = false;  // none of the system's authorities could be loaded
};

}  // namespace kolu
