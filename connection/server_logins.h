#pragma once
// The account each server logs in to, kept apart from servers.txt (whose format
// older copies still read) in logins.txt in the data folder: one line per server
// host, mode 0600, rewritten whole. Passwords are stored as typed; the file's
// mode is what protects them, as for the TLS trust file.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/sasl.h"

namespace kolu {

// The mechanisms a login may name, in the order the server dialog offers them.
inline constexpr std::u16string_view kLoginMechanisms[] = {u"PLAIN", u"EXTERNAL", u"SCRAM-SHA-256"};
bool isLoginMechanism(std::u16string_view name);

class ServerLogins {
  public:
    static constexpr const char* kFileName = "logins.txt";
    // Far more than anyone sets by hand; a larger file is neither read nor replaced.
    static constexpr std::size_t kFileLimit = 1 << 20;

    // Hears, once per store, of a file that could not be read or lines that were skipped.
    using Report = std::function<void(std::u16string_view text)>;

    // `path`: the logins file (it need not exist yet).
    explicit ServerLogins(std::string path, Report report = {});

    const std::string& path() const { return m_path; }

    // The login set for `host` (servers.txt's server column, compared exactly);
    // none when the host has none or the file is missing or unreadable.
    std::optional<SaslLogin> find(std::u16string_view host) const;
    // Sets or replaces the host's login; 0 or an error code (the old file stays).
    // An unknown mechanism or an empty host is EINVAL.
    int set(std::u16string_view host, const SaslLogin& login);
    // Forgets the host's login (none set is fine); 0 or an error code.
    int remove(std::u16string_view host);

  private:
    struct Contents;
    // Reads the file; false (and a report) when it exists but can't be read.
    bool read(Contents& out, int& error) const;
    // Writes the file without the host's lines, plus `line` when given.
    int rewrite(std::u16string_view host, const std::string* line);
    void report(std::u16string_view text) const;

    std::string m_path;
    Report m_report;
    mutable bool m_reported = false;
};

}  // namespace kolu
