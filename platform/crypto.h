#pragma once
// The few cryptographic pieces an account login needs (OpenSSL underneath):
// base64, SHA-256, HMAC-SHA-256, PBKDF2 and random bytes. Byte strings in and
// out, so the protocol layer stays free of OpenSSL's types.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

// RFC 4648 base64 with padding.
std::string base64Encode(std::string_view bytes);
// Strict: a length that is not a multiple of four, a character outside the
// alphabet, padding anywhere but the end, or bits left over in the last
// character all give nullopt. The empty text is the empty string.
std::optional<std::string> base64Decode(std::string_view text);

// Digests and keys, as raw bytes (32 of them).
std::string sha256(std::string_view bytes);
std::string hmacSha256(std::string_view key, std::string_view data);
std::string pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                         std::size_t length);

// Bytes from the system's secure generator; nullopt when it has none to give.
std::optional<std::string> randomBytes(std::size_t count);

// Compares without stopping at the first difference, so a proof's timing tells nothing.
bool sameBytes(std::string_view a, std::string_view b);

}  // namespace kolu
