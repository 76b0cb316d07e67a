#pragma once
// Server certificates the user chose to trust although they could not be
// verified: one "host fingerprint" line each, in a file only the user may read.
#include <string>
#include <string_view>

namespace kolu {

class TlsTrust {
  public:
    static constexpr const char* kFileName = "tls_trust.txt";
    // Far more than anyone trusts by hand; a larger file is not read.
    static constexpr std::size_t kFileLimit = 1 << 20;

    // `path`: the trust file (it need not exist yet).
    explicit TlsTrust(std::string path) : m_path(std::move(path)) {}

    // Whether the certificate with this SHA-256 fingerprint is trusted for `host`
    // (host names compare without regard to case).
    bool trusts(std::string_view host, std::string_view fingerprint) const;
    // Adds the pair to the file, written whole or not at all; 0 or an error code.
    int trust(std::string_view host, std::string_view fingerprint);

  private:
    std::string m_path;
};

}  // namespace kolu
