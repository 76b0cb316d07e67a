#include "protocol/inbound.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "tests/logic/logic_util.h"
#include "tests/support/fake_socket_layer.h"

namespace kolu {
namespace {

using Words = std::vector<std::string>;
using Replies = std::vector<Words>;

// Records each dispatched reply as UTF-8 words; `onDispatch` lets a test act
// from inside a handler.
class RecordingDispatcher final : public ReplyDispatcher {
  public:
    Replies replies;
    std::function<void(const Reply&)> onDispatch;

    void dispatch(const Reply& reply) override {
        replies.push_back(test::wordsOf(reply));
        if (onDispatch) {
            onDispatch(reply);
        }
    }
};

Replies frame(const std::vector<std::string>& chunks) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    for (const std::string& chunk : chunks) {
        framer.receive(chunk, dispatcher);
    }
    return dispatcher.replies;
}

// However the stream is cut in two (a UTF-8 character or a CR LF split between them), the
// same lines come out; one byte a read is the trickle fault test's. Bytes that are not UTF-8,
// split anywhere, are the decoder's test.
TEST(LineFramer, EverySplitOfAStreamGivesTheSameLines) {
    const std::string stream =
        ":n!u@h PRIVMSG #k :za\xC5\xBC\xC3\xB3 \xF0\x9F\x98\x80\r\n"
        "PING :x\r\r\n\r\n   \nA b\rc \t  \r\n" +
        std::string("N :a\0b\nunfinished", 17);
    const Replies expected = {
        {"n!u@h", "PRIVMSG", "#k", "za\xC5\xBC\xC3\xB3 \xF0\x9F\x98\x80"},
        {"PING", "x\r"},      // only one CR is dropped
        {"A", "b\rc", "\t"},  // a bare CR ends nothing; blanks trimmed
        {"N", std::string("a\0b", 3)},
    };
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        EXPECT_EQ(frame({stream.substr(0, cut), stream.substr(cut)}), expected) << "cut " << cut;
    }
}

// A cut line ends in "..." within the limit, so the reader knows text is missing.
TEST(LineFramer, LinesLongerThanTheBufferAreCutAtItsLimit) {
    constexpr std::size_t kLimit = LineFramer::kMaxPendingChars;
    for (const std::size_t length : {kLimit, kLimit + 1, std::size_t{5000}}) {
        for (const char* ending : {"\r\n", "\n"}) {
            const std::string shown =
                length > kLimit ? std::string(kLimit - 3, 'a') + "..." : std::string(length, 'a');
            EXPECT_EQ(frame({std::string(length, 'a') + ending + "PING :next\r\n"}),
                      (Replies{{shown}, {"PING", "next"}}))
                << length << " " << (ending[0] == '\r');
        }
    }
    // The emoji's high surrogate would be the last unit before the "...".
    EXPECT_EQ(frame({std::string(2045, 'a') + "\xF0\x9F\x98\x80" + "bbb\nPING :ok\n"}),
              (Replies{{std::string(2045, 'a') + "..."}, {"PING", "ok"}}));

    // Read by read as a socket gives it, the rest of a cut line is dropped from every read.
    LineFramer framer;
    RecordingDispatcher dispatcher;
    const std::string huge = std::string(100000, 'm') + "\r\nPING :ok\r\n";
    for (std::size_t at = 0; at < huge.size(); at += 1024) {
        framer.receive(huge.substr(at, 1024), dispatcher);
    }
    EXPECT_EQ(dispatcher.replies,
              (Replies{{std::string(kLimit - 3, 'm') + "..."}, {"PING", "ok"}}));
}

TEST(LineFramer, ClearForgetsPendingTextAndHeldBytesEvenMidChunk) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    framer.receive("PING :ab", dispatcher);
    framer.clear();
    framer.receive("c\r\nx :\xC5", dispatcher);
    framer.clear();
    // The held lead byte is gone: 0x82 alone is Windows-1252's low quote.
    framer.receive("\x82\n", dispatcher);
    EXPECT_EQ(dispatcher.replies, (Replies{{"c"}, {"\xE2\x80\x9A"}}));

    // Long enough to be appended in two pieces: the second must not follow the clear.
    dispatcher.replies.clear();
    dispatcher.onDispatch = [&](const Reply&) { framer.clear(); };
    framer.receive("A\nB\n" + std::string(2100, 'y') + "\nC\npartial", dispatcher);
    EXPECT_EQ(dispatcher.replies, (Replies{{"A"}}));
    EXPECT_TRUE(framer.pending().empty());
}

class InboundTest : public ::testing::Test, protected test::StatusLog {
  protected:
    void SetUp() override {
        env.putDword(kSettingsKey, u"debug", 1);
        sockets.scripted = true;
    }

    static constexpr SocketHandle kSock = 7;
    test::FakeSocketLayer sockets;
    Inbound inbound{sockets, env.log};
    RecordingDispatcher dispatcher;
};

TEST_F(InboundTest, OneTickDrainsEverythingThatKeepsArriving) {
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);  // nothing readable yet
    sockets.queueData(std::string(2000, 'x') + "\r\nPING :a\r\n" + std::string(990, 'y'));
    sockets.queueData("\r\nPING :b\r\n");
    sockets.queuePause();
    sockets.queueData("PING :later\r\n");
    // 3001 bytes in 1024-byte reads, then the second event's 11 bytes.
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 11);
    EXPECT_EQ(sockets.recvLengths, std::vector<int>(4, Inbound::kChunkBytes));
    EXPECT_EQ(sockets.selectTimeouts, std::vector<int>(6, Inbound::kPollMs));
    EXPECT_EQ(
        dispatcher.replies,
        (Replies{{std::string(2000, 'x')}, {"PING", "a"}, {std::string(990, 'y')}, {"PING", "b"}}));
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 13);
    EXPECT_EQ(dispatcher.replies.back(), (Words{"PING", "later"}));
}

TEST_F(InboundTest, ServerCloseIsReturnedInTheSameTickAfterTheCompleteLines) {
    sockets.queueData("PING :1\r\nPING :2\r\nunfinished");
    sockets.queueClose();
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 0);
    EXPECT_EQ(dispatcher.replies, (Replies{{"PING", "1"}, {"PING", "2"}}));
    // A closed socket stays readable; the close is not read twice.
    EXPECT_EQ(sockets.count("recv"), 2);
    EXPECT_TRUE(connected);  // a close is not an error
}

TEST_F(InboundTest, ARecvErrorEndsTheConnectionThroughTheErrorLog) {
    sockets.queueData("PING :1\r\n");
    sockets.queueRecvError(kWsaEconnreset);
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);
    EXPECT_EQ(dispatcher.replies, (Replies{{"PING", "1"}}));
    EXPECT_FALSE(connected);
    EXPECT_EQ(env.logCount("odb\t\trecv : 10054\t\t"), 1u);
}

TEST_F(InboundTest, FailedSelectsAreReported) {
    // The first select fails: reported, and the socket is still read.
    sockets.queueSelectError(kWsaEnetdown);
    sockets.queueData("PING :a\r\n");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(dispatcher.replies, (Replies{{"PING", "a"}}));
    EXPECT_EQ(env.logCount("odbierz\t\tselect : 10050\t\t"), 1u);
    EXPECT_FALSE(connected);

    // A later select fails: the tick ends with what the last read returned.
    sockets.queueData("PING :b\r\n");
    sockets.queueSelectError(kWsaEnotsock);
    sockets.queueData("PING :c\r\n");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(dispatcher.replies.back(), (Words{"PING", "b"}));
    EXPECT_EQ(env.logCount("odbierz\t\tselect2 : 10038\t\t"), 1u);
}

// A modal prompt inside a handler runs the event loop, which ticks again.
TEST_F(InboundTest, ANestedTickDuringADispatchReadsNothingAndOutOfMemoryDropsOnlyItsLine) {
    sockets.queueData("PING :1\r\nPING :2\r\n");
    sockets.queueData("PING :3\r\n");
    dispatcher.onDispatch = [&](const Reply& reply) {
        const std::vector<std::string> before = sockets.calls;
        EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);
        EXPECT_EQ(inbound.odb(kSock, dispatcher), -1);
        EXPECT_EQ(sockets.calls, before);  // neither select nor recv ran
        if (reply.word(1) == u"2") {
            throw std::bad_alloc();
        }
    };
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(dispatcher.replies.size(), 3u);
    EXPECT_FALSE(inbound.dispatching());
    EXPECT_EQ(env.logCount("przetwarzaj\t\tLocalAlloc : 0"), 1u);
    EXPECT_TRUE(printer.lines.empty());
}

}  // namespace
}  // namespace kolu
