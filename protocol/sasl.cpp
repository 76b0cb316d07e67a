#include "protocol/sasl.h"

#include <algorithm>

#include "platform/crypto.h"
#include "platform/text.h"

namespace kolu {
namespace {

// A server's message of this many base64 bytes is no login any mechanism here makes.
constexpr std::size_t kLongestIncoming = 16 * SaslExchange::kPieceBytes;

std::optional<std::string> randomNonce() {
    // 18 random bytes make 24 base64 characters: printable and never a ','.
    const auto bytes = randomBytes(18);
    if (!bytes) {
        return std::nullopt;
    }
    return base64Encode(*bytes);
}

// RFC 5802 saslname: '=' and ',' would end or confuse the attribute.
std::string saslName(std::string_view user) {
    std::string out;
    for (const char c : user) {
        if (c == '=') {
            out += "=3D";
        } else if (c == ',') {
            out += "=2C";
        } else {
            out += c;
        }
    }
    return out;
}

std::string xorBytes(std::string a, std::string_view b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        a[i] = static_cast<char>(a[i] ^ b[i]);
    }
    return a;
}

// The value of "<letter>=<value>", or nullopt when `item` is another attribute.
std::optional<std::string_view> attribute(std::string_view item, char letter) {
    if (item.size() < 2 || item[0] != letter || item[1] != '=') {
        return std::nullopt;
    }
    return item.substr(2);
}

std::vector<std::string_view> splitAtCommas(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(',', start);
        items.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return items;
        }
        start = end + 1;
    }
}

}  // namespace

bool offersMechanism(std::u16string_view offer, std::u16string_view mechanism) {
    std::size_t start = 0;
    while (start <= offer.size()) {
        const std::size_t end = std::min(offer.find(u',', start), offer.size());
        if (equalsIgnoreCase(offer.substr(start, end - start), mechanism)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

TlsClientCert clientCertificateFor(const std::optional<SaslLogin>& login) {
    if (!login || !equalsIgnoreCase(login->mechanism, u"EXTERNAL")) {
        return {};
    }
    return TlsClientCert{login->certFile, login->keyFile};
}

SaslExchange::SaslExchange(SaslLogin login, NonceSource nonce)
    : m_login(std::move(login)), m_nonce(nonce ? std::move(nonce) : NonceSource(randomNonce)) {}

std::optional<std::u16string> SaslExchange::start(std::u16string_view offer) {
    const std::u16string& name = m_login.mechanism;
    if (equalsIgnoreCase(name, u"PLAIN")) {
        m_mechanism = Mechanism::kPlain;
    } else if (equalsIgnoreCase(name, u"EXTERNAL")) {
        m_mechanism = Mechanism::kExternal;
    } else if (equalsIgnoreCase(name, u"SCRAM-SHA-256")) {
        m_mechanism = Mechanism::kScram;
    } else {
        fail(u"the mechanism \"" + name + u"\" is not one the client knows");
        return std::nullopt;
    }
    if (!offer.empty() && !offersMechanism(offer, name)) {
        fail(u"the server does not offer " + name + u" (it offers " + std::u16string(offer) + u")");
        return std::nullopt;
    }
    return u"AUTHENTICATE " + name;
}

std::vector<std::u16string> SaslExchange::serverSays(std::u16string_view data) {
    if (m_failed) {
        return {};
    }
    if (data != u"+") {
        m_incoming += toUtf8(data);
    }
    if (m_incoming.size() > kLongestIncoming) {
        return fail(u"the server's message is too long");
    }
    if (data.size() == kPieceBytes) {
        return {};  // more of the same message follows
    }
    const std::optional<std::string> challenge = base64Decode(m_incoming);
    m_incoming.clear();
    if (!challenge) {
        return fail(u"the server sent a message that is not base64");
    }
    return answer(*challenge);
}

std::vector<std::u16string> SaslExchange::answer(const std::string& challenge) {
    const int step = m_step++;
    switch (m_mechanism) {
        case Mechanism::kPlain:
            if (step == 0) {
                // authzid (empty: the account itself) NUL authcid NUL password.
                return responseLines('\0' + toUtf8(m_login.account) + '\0' +
                                     toUtf8(m_login.password));
            }
            break;
        case Mechanism::kExternal:
            if (step == 0) {
                return responseLines({});  // the certificate names the account
            }
            break;
        case Mechanism::kScram:
            return scramStep(step, challenge);
    }
    return fail(u"the server sent an unexpected message");
}

std::vector<std::u16string> SaslExchange::scramStep(int step, const std::string& challenge) {
    switch (step) {
        case 0: {
            const std::optional<std::string> nonce = m_nonce();
            if (!nonce || nonce->empty()) {
                return fail(u"no random bytes for the login's nonce");
            }
            m_clientNonce = *nonce;
            m_clientFirstBare = "n=" + saslName(toUtf8(m_login.account)) + ",r=" + m_clientNonce;
            // "n,,": no channel binding, no authorization identity.
            return responseLines("n,," + m_clientFirstBare);
        }
        case 1: {
            const std::optional<std::string> final = scramFinal(challenge);
            return final ? responseLines(*final) : std::vector<std::u16string>{u"AUTHENTICATE *"};
        }
        case 2: {
            if (const auto error = attribute(challenge, 'e')) {
                return fail(u"the server refused the login (" + fromUtf8(*error) + u")");
            }
            const std::string_view first =
                std::string_view(challenge).substr(0, challenge.find(','));
            const auto verifier = attribute(first, 'v');
            const std::optional<std::string> signature =
                verifier ? base64Decode(*verifier) : std::nullopt;
            if (!signature || !sameBytes(*signature, m_serverSignature)) {
                return fail(u"the server's signature is wrong: it may not be the server it claims");
            }
            return responseLines({});
        }
        default:
            return fail(u"the server sent an unexpected message");
    }
}

std::optional<std::string> SaslExchange::scramFinal(const std::string& serverFirst) {
    const std::vector<std::string_view> items = splitAtCommas(serverFirst);
    if (!items.empty() && attribute(items[0], 'm')) {
        fail(u"the server asks for a SCRAM extension the client does not know");
        return std::nullopt;
    }
    const auto nonce = items.size() >= 3 ? attribute(items[0], 'r') : std::nullopt;
    const auto saltText = items.size() >= 3 ? attribute(items[1], 's') : std::nullopt;
    const auto countText = items.size() >= 3 ? attribute(items[2], 'i') : std::nullopt;
    if (!nonce || !saltText || !countText) {
        fail(u"the server's first message is not SCRAM");
        return std::nullopt;
    }
    if (nonce->size() <= m_clientNonce.size() || !nonce->starts_with(m_clientNonce)) {
        fail(u"the server's nonce does not extend the client's");
        return std::nullopt;
    }
    const std::optional<std::string> salt = base64Decode(*saltText);
    if (!salt || salt->empty()) {
        fail(u"the server's salt is not base64");
        return std::nullopt;
    }
    // Digits only, and stopping once past the limit, so no count can overflow.
    unsigned long long iterations = 0;
    const bool digits =
        !countText->empty() && std::all_of(countText->begin(), countText->end(),
                                           [](char c) { return c >= '0' && c <= '9'; });
    for (std::size_t i = 0; digits && i < countText->size() && iterations <= kMostIterations; ++i) {
        iterations = iterations * 10 + static_cast<unsigned>((*countText)[i] - '0');
    }
    if (!digits || iterations < 1) {
        fail(u"the server's iteration count is not a number of at least 1");
        return std::nullopt;
    }
    if (iterations > kMostIterations) {
        fail(u"the server asks for more than " + decimalText(kMostIterations) +
             u" iterations of the password");
        return std::nullopt;
    }
    // SASLprep is not available here: the password's UTF-8 is used as typed,
    // which matches what servers derive for passwords in plain ASCII or NFC.
    const std::string salted =
        pbkdf2Sha256(toUtf8(m_login.password), *salt, static_cast<unsigned>(iterations), 32);
    const std::string clientKey = hmacSha256(salted, "Client Key");
    const std::string storedKey = sha256(clientKey);
    const std::string withoutProof = "c=biws,r=" + std::string(*nonce);  // biws: "n,,"
    const std::string authMessage = m_clientFirstBare + "," + serverFirst + "," + withoutProof;
    const std::string proof = xorBytes(clientKey, hmacSha256(storedKey, authMessage));
    m_serverSignature = hmacSha256(hmacSha256(salted, "Server Key"), authMessage);
    return withoutProof + ",p=" + base64Encode(proof);
}

std::vector<std::u16string> SaslExchange::fail(std::u16string problem) {
    m_failed = true;
    m_problem = std::move(problem);
    return {u"AUTHENTICATE *"};
}

std::vector<std::u16string> SaslExchange::responseLines(std::string_view response) {
    const std::string encoded = base64Encode(response);
    std::vector<std::u16string> lines;
    for (std::size_t at = 0; at < encoded.size(); at += kPieceBytes) {
        lines.push_back(u"AUTHENTICATE " +
                        fromUtf8(std::string_view(encoded).substr(at, kPieceBytes)));
    }
    if (encoded.empty() || encoded.size() % kPieceBytes == 0) {
        lines.emplace_back(u"AUTHENTICATE +");
    }
    return lines;
}

}  // namespace kolu
