#pragma once
// Logging in to an account with SASL while the connection registers: the
// account as set for a server, and the exchange of AUTHENTICATE lines for one
// login (PLAIN, EXTERNAL or SCRAM-SHA-256). The exchange only computes lines;
// the handlers send them and show what it reports.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tls_stream.h"

namespace kolu {

// The account a server's connection logs in to, as set for that server.
struct SaslLogin {
    std::u16string mechanism;  // "PLAIN", "EXTERNAL" or "SCRAM-SHA-256"
    std::u16string account;
    std::u16string password;
    std::string certFile;  // EXTERNAL: the client certificate and its key (PEM)
    std::string keyFile;
    // A failed login ends the connection instead of going on without the account.
    bool required = false;

    bool operator==(const SaslLogin&) const = default;
};

class SaslExchange {
  public:
    // The client's SCRAM nonce: printable, without ','. Tests fix it.
    using NonceSource = std::function<std::optional<std::string>()>;
    // Data of one AUTHENTICATE line, in bytes of base64; a piece of exactly this
    // size says more follows.
    static constexpr std::size_t kPieceBytes = 400;
    // More rounds than any server sensibly asks for would stop the window.
    static constexpr unsigned kMostIterations = 1000000;

    explicit SaslExchange(SaslLogin login, NonceSource nonce = {});

    // The first line ("AUTHENTICATE PLAIN"), or nullopt with problem() set when
    // the mechanism can't be used: not one the client knows, or not listed in
    // the server's offer (`offer` is the "sasl=" value; empty lists nothing).
    std::optional<std::u16string> start(std::u16string_view offer);

    // The data of a server's "AUTHENTICATE <data>" line: the lines to answer
    // with (none while the server's message is incomplete). When the exchange
    // fails here, the answer is "AUTHENTICATE *" and failed() is true.
    std::vector<std::u16string> serverSays(std::u16string_view data);

    bool failed() const { return m_failed; }
    // Why the exchange failed, as a sentence.
    const std::u16string& problem() const { return m_problem; }
    const SaslLogin& login() const { return m_login; }

    // `response` as AUTHENTICATE lines: base64 in pieces, "+" for an empty one
    // and after a last piece of exactly kPieceBytes.
    static std::vector<std::u16string> responseLines(std::string_view response);

  private:
    enum class Mechanism { kPlain, kExternal, kScram };
    std::vector<std::u16string> answer(const std::string& challenge);
    std::vector<std::u16string> scramStep(int step, const std::string& challenge);
    std::optional<std::string> scramFinal(const std::string& serverFirst);
    std::vector<std::u16string> fail(std::u16string problem);

    SaslLogin m_login;
    NonceSource m_nonce;
    Mechanism m_mechanism = Mechanism::kPlain;
    int m_step = 0;          // server messages answered so far
    std::string m_incoming;  // base64 pieces of the server's message so far
    std::string m_clientFirstBare;
    std::string m_clientNonce;
    std::string m_serverSignature;
    bool m_failed = false;
    std::u16string m_problem;
};

// The certificate to offer on a TLS connection: the login's, when it logs in
// with EXTERNAL; none otherwise.
TlsClientCert clientCertificateFor(const std::optional<SaslLogin>& login);

// Whether a "sasl=" offer or a 908 list (comma-separated) names `mechanism`.
bool offersMechanism(std::u16string_view list, std::u16string_view mechanism);

}  // namespace kolu
