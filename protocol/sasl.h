#pragma once
// Logging in to an account with SASL while the connection registers.
#include <string>

namespace kolu {

// The account a server's connection logs in to, as set for that server.
struct SaslLogin {
    std::u16string mechanism;  // "PLAIN", "EXTERNAL" or "SCRAM-SHA-256"
    std::u16string account;
    std::u16string password;
    std::string certFile;  // EXTERNAL: the client certificate and its key (PEM)
    std::string keyFile;
    bool required = false;  // the connection is given up when the login fails

    bool operator==(const SaslLogin&) const = default;
};

}  // namespace kolu
