// How one protocol line is cut into pieces on its way to the socket.
#include <gtest/gtest.h>

#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

class LineSender : public ::testing::Test {
  protected:
    void SetUp() override { sockets.acceptSends = true; }
    int send(std::u16string_view text) { return env.session.connection.wys(7, text); }

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
};

TEST_F(LineSender, LongLinesGoOutInPiecesOf1024Bytes) {
    EXPECT_EQ(send(std::u16string(1500, u'a')), 477);
    ASSERT_EQ(sockets.sent.size(), 2u);
    EXPECT_EQ(sockets.sent[0], std::string(1024, 'a'));
    EXPECT_EQ(sockets.sent[1], std::string(476, 'a') + "\n");
}

TEST_F(LineSender, ExactlyOnePieceLeavesTheLineFeedOnItsOwn) {
    send(std::u16string(1024, u'b'));
    ASSERT_EQ(sockets.sent.size(), 2u);
    EXPECT_EQ(sockets.sent[0], std::string(1024, 'b'));
    EXPECT_EQ(sockets.sent[1], "\n");
}

TEST_F(LineSender, ShortLinesAreOneSendWithALineFeed) {
    send(u"PRIVMSG #kolu :za\u017c\u00f3\u0142\u0107");
    ASSERT_EQ(sockets.sent.size(), 1u);
    EXPECT_EQ(sockets.sent[0], "PRIVMSG #kolu :za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\n");
}

TEST_F(LineSender, PiecesOfWideCharactersStayWithinTheBufferAndWhole) {
    // Fewer UTF-16 units than a piece holds bytes, but more bytes; the emoji
    // straddles the first piece's end.
    std::u16string text(511, u'\u0142');  // two bytes each
    text += u"\U0001F600";
    text += std::u16string(489, u'\u0142');
    send(text);
    std::string joined;
    for (const std::string& piece : sockets.sent) {
        EXPECT_LE(piece.size(), 1024u);
        EXPECT_EQ(toUtf8(fromUtf8(piece)), piece) << "split character";
        joined += piece;
    }
    EXPECT_EQ(joined, toUtf8(text) + "\n");
}

TEST_F(LineSender, EmptyTextIsNotSentByTheNonEmptySender) {
    EXPECT_EQ(env.session.connection.SendNonEmpty(7, u""), 1);
    EXPECT_TRUE(sockets.sent.empty());
    send(u"");
    EXPECT_EQ(sockets.sent, std::vector<std::string>{"\n"});
}

TEST_F(LineSender, AFailedPieceIsReportedAndTheTailStillGoes) {
    sockets.acceptSends = false;
    sockets.error = 0;
    EXPECT_EQ(send(std::u16string(1100, u'c')), kSocketError);
    EXPECT_EQ(sockets.count("send"), 2);
    // The error report ends the connection in the status tab.
    EXPECT_EQ(env.lines().back(), u"*** [10038] Software caused connection abort");
}

}  // namespace
}  // namespace kolu
