#pragma once
// Strict transport security: hosts that told the client, over TLS, to use
// only TLS for a while. One "host port expiry" line each (expiry in seconds
// since 1970, UTC, so a clock jump neither ends a policy early nor makes it
// last for ever), in a file only the user may read, written whole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

// The keys of an "sts" offer that matter ("port=6697,duration=2592000").
struct StsOffer {
    std::optional<std::uint16_t> port;
    std::optional<std::int64_t> duration;  // seconds
    bool operator==(const StsOffer&) const = default;
};

// Unknown keys and unreadable values are left out.
StsOffer parseStsOffer(std::u16string_view value);

class StsPolicies {
  public:
    static constexpr const char* kFileName = "sts_policies.txt";
    static constexpr std::size_t kFileLimit = 1 << 20;
    // A policy lasts at most this long, whatever the server asks.
    static constexpr std::int64_t kLongestDuration = std::int64_t{1} << 31;

    explicit StsPolicies(std::string path) : m_path(std::move(path)) {}

    // The TLS port for `host` while its policy holds at `now`.
    std::optional<std::uint16_t> live(std::string_view host, std::int64_t now) const;
    // Sets `host`'s policy to end `duration` seconds after `now` (0 forgets it);
    // expired ones are dropped on the way. 0 or an error code.
    int remember(std::string_view host, std::uint16_t port, std::int64_t duration,
                 std::int64_t now);

  private:
    std::string m_path;
};

}  // namespace kolu
