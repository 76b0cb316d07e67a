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

SaslLogin loginWith(std::u16string mechanism, std::u16string account = u"alice",
                    std::u16string password = u"secret") {
    SaslLogin login;
    login.mechanism = std::move(mechanism);
    login.account = std::move(account);
    login.password = std::move(password);
    return login;
}

// The bytes a set of AUTHENTICATE lines carries, read as a server does.
std::string carried(const Lines& lines) {
    std::string encoded;
    for (const std::u16string& line : lines) {
        EXPECT_TRUE(line.starts_with(u"AUTHENTICATE ")) << toUtf8(line);
        EXPECT_LE(toUtf8(line).size(), 510u);
        const std::u16string data = line.substr(13);
        if (data != u"+") {
            encoded += toUtf8(data);
        }
    }
    const auto decoded = base64Decode(encoded);
    EXPECT_TRUE(decoded.has_value()) << encoded;
    return decoded.value_or("");
}

// `message` as the server sends it: base64 in 400-byte pieces.
Lines serverPieces(std::string_view message) {
    const std::string encoded = base64Encode(message);
    Lines pieces;
    for (std::size_t at = 0; at < encoded.size(); at += 400) {
        pieces.push_back(fromUtf8(std::string_view(encoded).substr(at, 400)));
    }
    if (encoded.size() % 400 == 0) {
        pieces.push_back(u"+");
    }
    return pieces;
}

// Feeds a whole server message; the answer to its last piece.
Lines feed(SaslExchange& exchange, std::string_view message) {
    Lines answer;
    const Lines pieces = serverPieces(message);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        answer = exchange.serverSays(pieces[i]);
        if (i + 1 < pieces.size()) {
            EXPECT_EQ(answer, Lines{}) << "answered before the message was complete";
        }
    }
    return answer;
}

TEST(SaslExchangeTest, PlainSendsAccountAndPasswordOnceAndExternalSendsNothing) {
    SaslExchange plain(loginWith(u"PLAIN", u"alice", u"p\u00e4ss word"));
    EXPECT_EQ(plain.start(u"EXTERNAL,PLAIN"), u"AUTHENTICATE PLAIN");
    EXPECT_EQ(carried(plain.serverSays(u"+")), std::string("\0alice\0p\xc3\xa4ss word", 17));
    EXPECT_FALSE(plain.failed());
    // A second challenge is nothing PLAIN knows: the exchange is abandoned.
    EXPECT_EQ(plain.serverSays(u"+"), Lines{u"AUTHENTICATE *"});
    EXPECT_TRUE(plain.failed());

    SaslExchange external(loginWith(u"EXTERNAL"));
    EXPECT_EQ(external.start(u""), u"AUTHENTICATE EXTERNAL");
    EXPECT_EQ(external.serverSays(u"+"), Lines{u"AUTHENTICATE +"});
    EXPECT_FALSE(external.failed());
}

TEST(SaslExchangeTest, AMechanismTheServerDoesNotListOrTheClientDoesNotKnowIsNotTried) {
    SaslExchange notListed(loginWith(u"PLAIN"));
    EXPECT_EQ(notListed.start(u"EXTERNAL,SCRAM-SHA-256"), std::nullopt);
    EXPECT_TRUE(notListed.failed());
    EXPECT_NE(notListed.problem().find(u"EXTERNAL,SCRAM-SHA-256"), std::u16string::npos);

    SaslExchange unknown(loginWith(u"DIGEST-MD5"));
    EXPECT_EQ(unknown.start(u""), std::nullopt);
    EXPECT_TRUE(unknown.failed());

    EXPECT_TRUE(offersMechanism(u"PLAIN,SCRAM-SHA-256", u"SCRAM-SHA-256"));
    EXPECT_FALSE(offersMechanism(u"PLAIN,SCRAM-SHA-256", u"SCRAM-SHA"));
    EXPECT_FALSE(offersMechanism(u"PLAINX", u"PLAIN"));
}

TEST(SaslExchangeTest, ResponsesGoInPiecesOf400WithAPlusAfterAnExactFit) {
    struct Case {
        std::size_t bytes;
        std::size_t lines;
        bool endsWithPlus;
    };
    // 298 to 300 bytes are exactly 400 base64 characters.
    for (const Case& c : {Case{0, 1, true}, Case{1, 1, false}, Case{297, 1, false},
                          Case{300, 2, true}, Case{301, 2, false}, Case{600, 3, true}}) {
        std::string response;
        for (std::size_t i = 0; i < c.bytes; ++i) {
            response += static_cast<char>(i * 7);
        }
        const Lines lines = SaslExchange::responseLines(response);
        EXPECT_EQ(lines.size(), c.lines) << c.bytes;
        EXPECT_EQ(lines.back() == u"AUTHENTICATE +", c.endsWithPlus) << c.bytes;
        EXPECT_EQ(carried(lines), response) << c.bytes;
    }
}

TEST(SaslExchangeTest, ServerMessagesAreJoinedFromTheirPiecesAndMustBeBase64) {
    SaslExchange exchange(loginWith(u"PLAIN"));
    exchange.start(u"");
    EXPECT_EQ(exchange.serverSays(std::u16string(400, u'A')), Lines{});
    EXPECT_EQ(exchange.serverSays(std::u16string(400, u'A')), Lines{});
    EXPECT_EQ(exchange.serverSays(u"+").size(), 1u);  // one message, answered once
    EXPECT_FALSE(exchange.failed());

    SaslExchange damaged(loginWith(u"PLAIN"));
    damaged.start(u"");
    EXPECT_EQ(damaged.serverSays(u"not*base64"), Lines{u"AUTHENTICATE *"});
    EXPECT_TRUE(damaged.failed());
}

// RFC 7677, section 3: user "user", password "pencil".
constexpr std::string_view kNonce = "rOprNGfwEbeRWgbNEkqO";
constexpr std::string_view kServerFirst =
    "r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096";
constexpr std::string_view kClientFinal =
    "c=biws,r=rOprNGfwEbeRWgbNEkqO%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0,"
    "p=dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=";
constexpr std::string_view kServerFinal = "v=6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=";

class ScramTest : public ::testing::Test {
  protected:
    ScramTest()
        : exchange(loginWith(u"SCRAM-SHA-256", u"user", u"pencil"),
                   [] { return std::string(kNonce); }) {}

    // Through the client's first message; the server's first comes next.
    void begin() {
        ASSERT_EQ(exchange.start(u"PLAIN,SCRAM-SHA-256"), u"AUTHENTICATE SCRAM-SHA-256");
        ASSERT_EQ(carried(exchange.serverSays(u"+")), "n,,n=user,r=" + std::string(kNonce));
    }
    void expectRefused(std::string_view serverMessage, std::u16string_view problemPart) {
        EXPECT_EQ(feed(exchange, serverMessage), Lines{u"AUTHENTICATE *"}) << serverMessage;
        EXPECT_TRUE(exchange.failed());
        EXPECT_NE(exchange.problem().find(problemPart), std::u16string::npos)
            << toUtf8(exchange.problem());
    }

    SaslExchange exchange;
};

TEST_F(ScramTest, TheRfcExampleExchangeCompletes) {
    begin();
    EXPECT_EQ(carried(feed(exchange, kServerFirst)), kClientFinal);
    EXPECT_EQ(feed(exchange, kServerFinal), Lines{u"AUTHENTICATE +"});
    EXPECT_FALSE(exchange.failed());
}

TEST_F(ScramTest, ATamperedServerSignatureFailsTheLogin) {
    begin();
    feed(exchange, kServerFirst);
    std::string forged(kServerFinal);
    forged[5] = forged[5] == 'A' ? 'B' : 'A';
    expectRefused(forged, u"signature");
}

TEST_F(ScramTest, AServerErrorIsAFailureWithItsText) {
    begin();
    feed(exchange, kServerFirst);
    expectRefused("e=invalid-proof", u"invalid-proof");
}

// Each refused at once, before any key is derived from the password.
TEST(ScramRefusalTest, MalformedServerFirstMessagesAreRefused) {
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
        SaslExchange exchange(loginWith(u"SCRAM-SHA-256", u"user", u"pencil"),
                              [] { return std::string(kNonce); });
        exchange.start(u"");
        exchange.serverSays(u"+");
        EXPECT_EQ(feed(exchange, message), Lines{u"AUTHENTICATE *"}) << message;
        EXPECT_TRUE(exchange.failed()) << message;
        EXPECT_NE(exchange.problem().find(problemPart), std::u16string::npos)
            << message << ": " << toUtf8(exchange.problem());
    }
}

TEST_F(ScramTest, ALongServerMessageIsJoinedFromItsPieces) {
    begin();
    // A nonce long enough that the server's first message takes three pieces.
    const std::string nonce = std::string(kNonce) + std::string(700, 'x');
    const std::string first = "r=" + nonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=1";
    ASSERT_GT(serverPieces(first).size(), 2u);
    const std::string final = carried(feed(exchange, first));
    EXPECT_TRUE(final.starts_with("c=biws,r=" + nonce + ",p=")) << final;
}

TEST(ScramNameTest, EqualsAndCommaInTheAccountAreEscaped) {
    SaslExchange exchange(loginWith(u"SCRAM-SHA-256", u"a=b,c"), [] { return std::string("N"); });
    exchange.start(u"");
    EXPECT_EQ(carried(exchange.serverSays(u"+")), "n,,n=a=3Db=2Cc,r=N");
}

}  // namespace
}  // namespace kolu
