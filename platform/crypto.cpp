#include "platform/crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <limits>

namespace kolu {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The six bits a base64 character stands for; -1 for any other byte.
constexpr std::array<signed char, 256> decodingTable() {
    std::array<signed char, 256> table{};
    for (auto& entry : table) {
        entry = -1;
    }
    for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    }
    return table;
}

constexpr auto kDecoding = decodingTable();

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 |
                               static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6) {
            out += kAlphabet[(group >> shift) & 0x3F];
        }
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out += kAlphabet[(group >> 18) & 0x3F];
        out += kAlphabet[(group >> 12) & 0x3F];
        out += rest == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        unsigned group = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            // Padding only in the last group's final one or two places.
            if (c == '=' && last && k >= 2 && (k == 3 || text[i + 3] == '=')) {
                ++padding;
                group <<= 6;
                continue;
            }
            const int value = kDecoding[static_cast<unsigned char>(c)];
            if (value < 0 || padding > 0) {
                return std::nullopt;
            }
            group = group << 6 | static_cast<unsigned>(value);
        }
        // Bits under the padding must be zero, or two texts would mean the same bytes.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) {
            return std::nullopt;
        }
        out += static_cast<char>(group >> 16);
        if (padding < 2) {
            out += static_cast<char>(group >> 8 & 0xFF);
        }
        if (padding < 1) {
            out += static_cast<char>(group & 0xFF);
        }
    }
    return out;
}

std::string sha256(std::string_view bytes) {
    std::string digest(32, '\0');
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &size,
               EVP_sha256(), nullptr);
    return digest;
}

std::string hmacSha256(std::string_view key, std::string_view data) {
    std::string mac(32, '\0');
    unsigned int size = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), bytesOf(data), data.size(),
         reinterpret_cast<unsigned char*>(mac.data()), &size);
    return mac;
}

std::string pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                         std::size_t length) {
    std::string key(length, '\0');
    const int rounds = static_cast<int>(
        std::min<unsigned>(iterations, static_cast<unsigned>(std::numeric_limits<int>::max())));
    PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), bytesOf(salt),
                      static_cast<int>(salt.size()), rounds, EVP_sha256(), static_cast<int>(length),
                      reinterpret_cast<unsigned char*>(key.data()));
    return key;
}

std::optional<std::string> randomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) {
        return std::nullopt;
    }
    return bytes;
}

bool sameBytes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace kolu
