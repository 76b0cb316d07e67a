// The AUTHENTICATE exchange on its own: what each mechanism answers, the
// 400-byte pieces both ways, and SCRAM-SHA-256 against the RFC 7677 example
// and servers that get it wrong.
#include <gtest/gtest.h>

#include "platform/crypto.h"
#include "platform/text.h"
#include "protocol/sasl.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;

// The bytes a set of AUTHENTICATE lines carries, read as a server does.
std::string carried(const Lines& lines) {
    std::string encoded;
    for (const std::u16string& line : lines) {
        EXPECT_TRUE(line.starts_with(u"AUTHENTICATE ")) << toUtf8(line);
        EXPECT_LE(toUtf8(line).size(), 510u);
        if (line != u"AUTHENTICATE +") {
            encoded += toUtf8(line.substr(13));
        }
    }
    const auto decoded = base64Decode(encoded);
    EXPECT_TRUE(decoded.has_value()) << encoded;
    return decoded.value_or("");
}

// Feeds a whole server message in 400-byte base64 pieces; the answer to the last.
Lines feed(SaslExchange& exchange, std::string_view message) {
    const std::string encoded = base64Encode(message);
    for (std::size_t at = 0; at + 400 <= encoded.size(); at += 400) {
        EXPECT_EQ(exchange.serverSays(fromUtf8(encoded.substr(at, 400))), Lines{})
            << "answered before the message was complete";
    }
    const std::string last = encoded.substr(encoded.size() / 400 * 400);
    return exchange.serverSays(last.empty() ? u"+" : fromUtf8(last));
}

// EXTERNAL's empty answer is the InspIRCd tests' certificate login.
TEST(SaslExchangeTest, PlainSendsAccountAndPasswordOnce) {
    SaslExchange plain({u"PLAIN", u"alice", u"p\u00e4ss word"});
    EXPECT_EQ(plain.start(u"EXTERNAL,PLAIN"), u"AUTHENTICATE PLAIN");
    EXPECT_EQ(carried(plain.serverSays(u"+")), std::string("\0alice\0p\xc3\xa4ss word", 17));
    EXPECT_FALSE(plain.failed());
    // A second challenge is nothing PLAIN knows: the exchange is abandoned.
    EXPECT_EQ(plain.serverSays(u"+"), Lines{u"AUTHENTICATE *"});
    EXPECT_TRUE(plain.failed());
}

TEST(SaslExchangeTest, AMechanismTheServerDoesNotListOrTheClientDoesNotKnowIsNotTried) {
    for (const auto& [mechanism, offer] :
         {std::pair{u"PLAIN", u"EXTERNAL,PLAINX"}, std::pair{u"DIGEST-MD5", u"DIGEST-MD5"}}) {
        SaslExchange exchange({mechanism});
        EXPECT_EQ(exchange.start(offer), std::nullopt) << toUtf8(mechanism);
        EXPECT_TRUE(exchange.failed());
        EXPECT_NE(exchange.problem().find(mechanism), std::u16string::npos);
    }
}

TEST(SaslExchangeTest, ResponsesGoInPiecesOf400WithAPlusAfterAnExactFit) {
    // 298 to 300 bytes are exactly 400 base64 characters.
    for (const auto [bytes, lines] :
         {std::pair{0u, 1u}, {1u, 1u}, {297u, 1u}, {300u, 2u}, {301u, 2u}, {600u, 3u}}) {
        std::string response;
        for (std::size_t i = 0; i < bytes; ++i) {
            response += static_cast<char>(i * 7);
        }
        const Lines sent = SaslExchange::responseLines(response);
        EXPECT_EQ(sent.size(), lines) << bytes;
        EXPECT_EQ(sent.back() == u"AUTHENTICATE +", bytes % 300 == 0) << bytes;
        EXPECT_EQ(carried(sent), response) << bytes;
    }
}

// RFC 7677, section 3: user "user", password "pencil".
constexpr std::string_view kNonce = "rOprNGfwEbeRWgbNEkqO";
constexpr std::string_view kServerFirst =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
constexpr std::string_view kServerFinal = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

// A SCRAM exchange through the client's first message; the server's first comes next.
class ScramTest : public ::testing::Test {
  protected:
    void SetUp() override { begin(); }
    void begin() {
        exchange = SaslExchange({u"SCRAM-SHA-256", u"user", u"pencil"},
                                [] { return std::string(kNonce); });
        ASSERT_EQ(exchange.start(u"PLAIN,SCRAM-SHA-256"), u"AUTHENTICATE SCRAM-SHA-256");
        ASSERT_EQ(carried(exchange.serverSays(u"+")), "n,,n=user,r=" + std::string(kNonce));
    }
    void expectRefused(std::string_view serverMessage, std::u16string_view problemPart) {
        EXPECT_EQ(feed(exchange, serverMessage), Lines{u"AUTHENTICATE *"}) << serverMessage;
        EXPECT_TRUE(exchange.failed());
        EXPECT_NE(exchange.problem().find(problemPart), std::u16string::npos)
            << serverMessage << ": " << toUtf8(exchange.problem());
    }

    SaslExchange exchange{{}};
};

TEST_F(ScramTest, TheRfcExampleExchangeCompletes) {
    EXPECT_EQ(carried(feed(exchange, kServerFirst)),
              "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
              "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=");
    EXPECT_EQ(feed(exchange, kServerFinal), Lines{u"AUTHENTICATE +"});
    EXPECT_FALSE(exchange.failed());
}

TEST_F(ScramTest, AForgedSignatureOrAServerErrorFailsTheLogin) {
    std::string forged(kServerFinal);
    forged[5] = forged[5] == 'A' ? 'B' : 'A';
    for (const auto& [final, problemPart] :
         {std::pair<std::string, std::u16string_view>{forged, u"signature"},
          {"e=invalid-proof", u"invalid-proof"}}) {
        begin();
        feed(exchange, kServerFirst);
        expectRefused(final, problemPart);
    }
}

// Each refused at once, before any key is derived from the password.
TEST_F(ScramTest, MalformedServerFirstMessagesAreRefused) {
    const std::string nonce(kNonce);
    const std::string rest = ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=";
    const std::pair<std::string, std::u16string_view> cases[] = {
        {"r=someoneElsesNonce1234" + rest + "4096", u"nonce"},
        {"r=" + nonce + rest + "4096", u"nonce"},  // nothing of the server's own
        {"r=" + nonce + "xyz,s=,i=4096", u"salt"},
        {"r=" + nonce + "xyz,s=!!!!,i=4096", u"salt"},
        {"m=future,r=" + nonce + "xyz" + rest + "4096", u"extension"},
        {"s=W22ZaJ0SNY7soEsUEjb6gQ==,r=" + nonce + "xyz,i=4096", u"not SCRAM"},
        {"r=" + nonce + "xyz" + rest + "0", u"iteration"},
        {"r=" + nonce + "xyz" + rest + "12x", u"iteration"},
        {"r=" + nonce + "xyz" + rest, u"iteration"},
        {"r=" + nonce + "xyz" + rest + "1000001", u"1000000"},
        {"r=" + nonce + "xyz" + rest + "99999999999999999999999", u"1000000"},
    };
    for (const auto& [message, problemPart] : cases) {
        begin();
        expectRefused(message, problemPart);
    }
}

TEST_F(ScramTest, ALongServerMessageIsJoinedFromItsPieces) {
    // A nonce long enough that the server's first message takes three pieces.
    const std::string nonce = std::string(kNonce) + std::string(700, 'x');
    const std::string final =
        carried(feed(exchange, "r=" + nonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=1"));
    EXPECT_TRUE(final.starts_with("c=biws,r=" + nonce + ",p=")) << final;
}

TEST(ScramNameTest, EqualsAndCommaInTheAccountAreEscaped) {
    SaslExchange exchange({u"SCRAM-SHA-256", u"a=b,c"}, [] { return std::string("N"); });
    exchange.start(u"");
    EXPECT_EQ(carried(exchange.serverSays(u"+")), "n,,n=a=3Db=2Cc,r=N");
}

}  // namespace
}  // namespace kolu
