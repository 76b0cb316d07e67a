// The client certificate a TLS connection offers: files that can't be used
// stop the connection with a reason, before anything is sent.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/tls_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tls_test_server.h"

namespace kolu {
namespace {

class TlsClientCertTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0); }
    void TearDown() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // Opens TLS on one end of the pair; the problem when it can't.
    std::optional<std::string> openProblem(const TlsClientCert& offered) {
        std::string problem;
        return TlsStream::open(fds[0], "irc.test", problem, offered) ? std::nullopt
                                                                     : std::optional(problem);
    }

    int fds[2] = {-1, -1};
    test::TempDir dir;
    test::TlsTestServer server;
    std::string cert = server.pem().certFile;
    std::string key = server.pem().keyFile;
};

TEST_F(TlsClientCertTest, AMatchingPairIsTakenWithTheKeyApartOrInTheSameFile) {
    EXPECT_EQ(openProblem({cert, key}), std::nullopt);
    std::string certText;
    std::string keyText;
    ASSERT_EQ(readWholeFile(cert, certText) + readWholeFile(key, keyText), 0);
    ASSERT_EQ(writeFileAtomically(dir.file("both.pem"), certText + keyText), 0);
    EXPECT_EQ(openProblem({dir.file("both.pem"), ""}), std::nullopt);
}

TEST_F(TlsClientCertTest, FilesThatCantBeUsedAreRefusedWithTheirReason) {
    const auto startsWith = [](const std::optional<std::string>& problem, std::string prefix) {
        return problem.value_or("").starts_with(prefix);
    };
    EXPECT_TRUE(startsWith(openProblem({cert, dir.file("none.key")}),
                           "client key " + dir.file("none.key")));
    ASSERT_EQ(writeFileAtomically(dir.file("junk.pem"), "not a certificate\n"), 0);
    EXPECT_TRUE(startsWith(openProblem({dir.file("junk.pem"), key}),
                           "client certificate " + dir.file("junk.pem") + ": "));

    // Another key than the certificate's.
    const test::ClientCertificate other = test::makeClientCertificate(dir.path(), "other");
    EXPECT_EQ(openProblem({cert, other.keyFile}),
              "the client key does not belong to the client certificate");
}

}  // namespace
}  // namespace kolu
