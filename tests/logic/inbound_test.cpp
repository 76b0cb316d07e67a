#include "protocol/inbound.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

using Words = std::vector<std::string>;

// Records each dispatched reply as UTF-8 words; `onDispatch` lets a test act
// from inside a handler.
class RecordingDispatcher final : public ReplyDispatcher {
  public:
    std::vector<Words> replies;
    std::function<void(const Reply&)> onDispatch;

    void dispatch(const Reply& reply) override {
        Words words;
        for (int i = 0; i < reply.count; ++i) {
            words.push_back(toUtf8(reply.word(i)));
        }
        replies.push_back(words);
        if (onDispatch) {
            onDispatch(reply);
        }
    }
};

// Frames `chunks` one receive each and returns what was dispatched.
std::vector<Words> frame(const std::vector<std::string>& chunks) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    for (const std::string& chunk : chunks) {
        framer.receive(chunk, dispatcher);
    }
    return dispatcher.replies;
}

TEST(LineFramer, CutsLinesAtLineFeeds) {
    struct Case {
        const char* name;
        std::vector<std::string> chunks;
        std::vector<Words> expected;
    } cases[] = {
        {"line split across reads", {"PING :ab", "c\r\n"}, {{"PING", "abc"}}},
        {"CR LF split between reads", {"PING :x\r", "\n"}, {{"PING", "x"}}},
        {"bare LF ends a line", {"PING :x\nPING :y\n"}, {{"PING", "x"}, {"PING", "y"}}},
        {"bare CR does not", {"A b\rc d\r\n"}, {{"A", "b\rc", "d"}}},
        {"only one CR dropped", {"PING :x\r\r\n"}, {{"PING", "x\r"}}},
        {"three lines in order", {"A\r\nB\r\nC\r\n"}, {{"A"}, {"B"}, {"C"}}},
        {"empty and blank lines dropped", {"A\r\n\r\n\n   \r\n \nB\n"}, {{"A"}, {"B"}}},
        {"trailing blanks trimmed first", {"PING :x   \r\n"}, {{"PING", "x"}}},
        {"blanks before CR trimmed", {"a b c d  \r\n"}, {{"a", "b", "c", "d"}}},
        {"unfinished line kept", {"A\r\nB"}, {{"A"}}},
        {"one byte at a time", {"P", "I", "N", "G", " ", ":", "z", "\r", "\n"}, {{"PING", "z"}}},
        {"UTF-8 split between reads",
         {"x :za\xC5", "\xBC\xC3\xB3\xC5\x82\xC4\x87\n"},
         {{"x", "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"}}},
        {"four-byte character split 1|3",
         {"x :\xF0", "\x9F\x98\x80!\n"},
         {{"x", "\xF0\x9F\x98\x80!"}}},
        {"invalid bytes as Windows-1252",
         {"x \x80 \xE9 \x9F\n"},
         {{"x", "\xE2\x82\xAC", "\xC3\xA9", "\xC5\xB8"}}},
        {"held lead byte that turns out invalid",
         {"x :\xC5", "A\n"},
         {{"x",
           "\xC3\x85"
           "A"}}},
        {"NUL kept inside its line",
         {std::string("PING :a\0b\r\nPING :c\r\n", 20)},
         {{"PING", std::string("a\0b", 3)}, {"PING", "c"}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frame(c.chunks), c.expected) << c.name;
    }
}

// However a stream is cut into reads, the same lines come out.
TEST(LineFramer, EverySplitOfAStreamGivesTheSameLines) {
    const std::string stream =
        ":n!u@h PRIVMSG #k :za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xF0\x9F\x98\x80\r\n"
        "PING :x\r\r\n\r\n   \n:s 353 me = #k :@a +b c\n\x80\xE9 tail\r\n";
    const std::vector<Words> whole = frame({stream});
    ASSERT_EQ(whole.size(), 4u);
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        EXPECT_EQ(frame({stream.substr(0, cut), stream.substr(cut)}), whole) << "cut " << cut;
    }
    for (std::size_t size = 1; size <= 7; ++size) {
        std::vector<std::string> chunks;
        for (std::size_t at = 0; at < stream.size(); at += size) {
            chunks.push_back(stream.substr(at, size));
        }
        EXPECT_EQ(frame(chunks), whole) << "chunks of " << size;
    }
}

// A cut line ends in "..." within the limit, so the reader knows text is missing.
TEST(LineFramer, LinesLongerThanTheBufferAreCutAtItsLimit) {
    constexpr std::size_t kLimit = LineFramer::kMaxPendingChars;
    ASSERT_EQ(kLimit, 2049u);
    struct Case {
        std::size_t length;
        const char* ending;
    } cases[] = {
        {2047, "\r\n"}, {2048, "\r\n"}, {2049, "\r\n"}, {2050, "\r\n"}, {2048, "\n"},
        {2049, "\n"},   {2050, "\n"},   {5000, "\r\n"}, {5000, "\n"},
    };
    for (const Case& c : cases) {
        LineFramer framer;
        RecordingDispatcher dispatcher;
        const std::string line(c.length, 'a');
        framer.receive(line + c.ending + "PING :next\r\n", dispatcher);
        const std::string shown =
            c.length > kLimit ? std::string(kLimit - 3, 'a') + "..." : std::string(c.length, 'a');
        const std::vector<Words> expected = {{shown}, {"PING", "next"}};
        EXPECT_EQ(dispatcher.replies, expected) << c.length << " " << (c.ending[0] == '\r');
        EXPECT_TRUE(framer.pending().empty());
    }
}

TEST(LineFramer, ACutNeverSplitsASurrogatePair) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    // The emoji's high surrogate would be the last unit before the "...".
    framer.receive(std::string(2045, 'a') + "\xF0\x9F\x98\x80" + "bbb\nPING :ok\n", dispatcher);
    ASSERT_EQ(dispatcher.replies.size(), 2u);
    EXPECT_EQ(dispatcher.replies[0], Words{std::string(2045, 'a') + "..."});
    EXPECT_EQ(dispatcher.replies[1], (Words{"PING", "ok"}));
}

TEST(LineFramer, BytesGivenDuringADispatchAreFramedAfterIt) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    dispatcher.onDispatch = [&](const Reply& reply) {
        EXPECT_TRUE(framer.dispatching());
        EXPECT_EQ(framer.przetwarzaj(dispatcher), 0);  // nested: does nothing
        if (reply.word(0) == u"A") {
            framer.receive("C\n", dispatcher);
        }
    };
    framer.receive("A\nB\n", dispatcher);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"A"}, {"B"}, {"C"}}));
    EXPECT_FALSE(framer.dispatching());
}

TEST(LineFramer, ClearForgetsPendingTextAndHeldBytes) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    framer.receive("PING :ab", dispatcher);
    EXPECT_EQ(framer.pending(), u"PING :ab");
    framer.clear();
    EXPECT_TRUE(framer.pending().empty());
    framer.receive("c\r\nx :\xC5", dispatcher);
    framer.clear();
    // The held lead byte is gone: 0x82 alone is Windows-1252's low quote.
    framer.receive("\x82\n", dispatcher);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"c"}, {"\xE2\x80\x9A"}}));
}

TEST(LineFramer, ClearDuringADispatchStopsThatChunk) {
    LineFramer framer;
    RecordingDispatcher dispatcher;
    dispatcher.onDispatch = [&](const Reply&) { framer.clear(); };
    // Long enough to be appended in two pieces: the second must not follow the clear.
    framer.receive("A\nB\n" + std::string(2100, 'y') + "\nC\npartial", dispatcher);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"A"}}));
    EXPECT_TRUE(framer.pending().empty());
    dispatcher.onDispatch = nullptr;
    framer.receive("D\n", dispatcher);
    EXPECT_EQ(dispatcher.replies.back(), Words{"D"});
}

class InboundTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        ColourArray defaults{};
        OpKoloryDomyslne(defaults);
        colours.set(defaults);
        env.log.connectStatus(&printer, &colours, &connected);
        sockets.scripted = true;
    }
    void debug() { env.putDword(kSettingsKey, u"debug", 1); }
    std::string abortLine(int code) {
        return "*** [" + std::to_string(code) + "] Software caused connection abort";
    }

    static constexpr SocketHandle kSock = 7;
    test::SettingsEnv env;
    test::RecordingPrinter printer;
    ColourTable colours;
    bool connected = true;
    test::FakeSocketLayer sockets;
    Inbound inbound{sockets, env.log};
    RecordingDispatcher dispatcher;
};

TEST_F(InboundTest, NothingReadableReadsNothing) {
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);
    EXPECT_EQ(sockets.calls, std::vector<std::string>{"select"});
    EXPECT_EQ(sockets.selectTimeouts, std::vector<int>{Inbound::kPollMs});
    EXPECT_TRUE(connected);
}

TEST_F(InboundTest, OneTickDrainsEverythingThatKeepsArriving) {
    sockets.queueData(std::string(2000, 'x') + "\r\nPING :a\r\n" + std::string(990, 'y'));
    sockets.queueData("\r\nPING :b\r\n");
    sockets.queuePause();
    sockets.queueData("PING :later\r\n");
    // 3001 bytes in 1024-byte reads, then the second event's 11 bytes.
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 11);
    EXPECT_EQ(sockets.recvLengths, std::vector<int>(4, Inbound::kChunkBytes));
    EXPECT_EQ(sockets.selectTimeouts, std::vector<int>(5, Inbound::kPollMs));
    const std::vector<Words> firstTick = {
        {std::string(2000, 'x')}, {"PING", "a"}, {std::string(990, 'y')}, {"PING", "b"}};
    EXPECT_EQ(dispatcher.replies, firstTick);
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 13);
    EXPECT_EQ(dispatcher.replies.back(), (Words{"PING", "later"}));
}

TEST_F(InboundTest, AnUnfinishedLineWaitsForTheNextTick) {
    sockets.queueData("PING :ab");
    sockets.queuePause();
    sockets.queueData("c\r\n");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 8);
    EXPECT_TRUE(dispatcher.replies.empty());
    EXPECT_EQ(inbound.pending(), u"PING :ab");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 3);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"PING", "abc"}}));
    EXPECT_TRUE(inbound.pending().empty());
}

TEST_F(InboundTest, ThreeLinesInOneChunkAreDispatchedWithinOneRead) {
    const std::string chunk = ":s 001 me :Welcome\r\nPING :1\r\n:s 002 me :Host\r\n";
    sockets.queueData(chunk);
    EXPECT_EQ(inbound.odb(kSock, dispatcher), static_cast<int>(chunk.size()));
    EXPECT_EQ(sockets.count("recv"), 1);
    const std::vector<Words> expected = {
        {"s", "001", "me", "Welcome"}, {"PING", "1"}, {"s", "002", "me", "Host"}};
    EXPECT_EQ(dispatcher.replies, expected);
}

TEST_F(InboundTest, ServerCloseIsReturnedInTheSameTickAfterTheCompleteLines) {
    sockets.queueData("PING :1\r\nPING :2\r\nunfinished");
    sockets.queueClose();
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 0);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"PING", "1"}, {"PING", "2"}}));
    // A closed socket stays readable; the close is not read twice.
    EXPECT_EQ(sockets.count("recv"), 2);
    EXPECT_TRUE(connected);  // a close is not an error
    EXPECT_TRUE(printer.lines.empty());
}

TEST_F(InboundTest, ARecvErrorEndsTheConnectionThroughTheErrorLog) {
    debug();
    sockets.queueData("PING :1\r\n");
    sockets.queueRecvError(kWsaEconnreset);
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"PING", "1"}}));
    EXPECT_FALSE(connected);
    ASSERT_EQ(printer.lines.size(), 1u);
    EXPECT_EQ(toUtf8(printer.lines[0].text), abortLine(kWsaEconnreset));
    EXPECT_EQ(printer.lines[0].colour, colours.of(LineClass::Info));
    const std::string log = env.decodedLog();
    const std::size_t recv = log.find("odb\t\trecv : 10054\t\t");
    const std::size_t select2 = log.find("odbierz\t\tselect2 : 0\t\t");
    ASSERT_NE(recv, std::string::npos) << log;
    ASSERT_NE(select2, std::string::npos) << log;
    EXPECT_LT(recv, select2);
    EXPECT_EQ(sockets.error, 0);
}

TEST_F(InboundTest, AFailedFirstSelectIsReportedAndTheSocketStillRead) {
    debug();
    sockets.queueSelectError(kWsaEnetdown);
    sockets.queueData("PING :a\r\n");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"PING", "a"}}));
    EXPECT_NE(env.decodedLog().find("odbierz\t\tselect : 10050\t\t"), std::string::npos);
    EXPECT_FALSE(connected);
    ASSERT_EQ(printer.lines.size(), 1u);
    EXPECT_EQ(toUtf8(printer.lines[0].text), abortLine(kWsaEnetdown));
}

TEST_F(InboundTest, AFailedSecondSelectReturnsTheLastRead) {
    debug();
    sockets.queueData("PING :a\r\n");
    sockets.queueSelectError(kWsaEnotsock);
    sockets.queueData("PING :b\r\n");
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(sockets.count("recv"), 1);
    EXPECT_NE(env.decodedLog().find("odbierz\t\tselect2 : 10038\t\t"), std::string::npos);
    EXPECT_FALSE(connected);
}

TEST_F(InboundTest, AHugeLineWithoutLineFeedNeverOverflowsAndLosesNothingAfterIt) {
    const std::string huge = ":s 372 me :" + std::string(100000 - 11, 'm');
    sockets.queueData(huge);
    sockets.queueData("\r\n:s 376 me :End of MOTD\r\n");
    std::size_t reads = 0;
    std::size_t largestPending = 0;
    while (!sockets.script.empty()) {
        ASSERT_GT(inbound.odb(kSock, dispatcher), 0);
        largestPending = std::max(largestPending, inbound.pending().size());
        ++reads;
    }
    EXPECT_EQ(reads, 98u + 1u);  // 100000 bytes in 1024-byte reads, then the tail
    EXPECT_LE(largestPending, Inbound::kPendingCapacity - 1);
    const std::vector<Words> expected = {
        {"s", "372", "me", std::string(Inbound::kPendingCapacity - 1 - 11 - 3, 'm') + "..."},
        {"s", "376", "me", "End of MOTD"}};
    EXPECT_EQ(dispatcher.replies, expected);
    EXPECT_TRUE(inbound.pending().empty());
}

TEST_F(InboundTest, OutOfMemoryDropsOnlyTheLineAtHandAndIsReported) {
    debug();
    sockets.queueData("PING :1\r\nPING :2\r\nPING :3\r\n");
    dispatcher.onDispatch = [](const Reply& reply) {
        if (reply.word(1) == u"2") {
            throw std::bad_alloc();
        }
    };
    EXPECT_NO_THROW(inbound.odbierz(kSock, dispatcher));
    EXPECT_EQ(dispatcher.replies,
              (std::vector<Words>{{"PING", "1"}, {"PING", "2"}, {"PING", "3"}}));
    EXPECT_FALSE(inbound.dispatching());
    EXPECT_NE(env.decodedLog().find("przetwarzaj\t\tLocalAlloc : 0"), std::string::npos);
}

TEST_F(InboundTest, ANestedTickDuringADispatchReadsNothing) {
    sockets.queueData("PING :1\r\nPING :2\r\n");
    sockets.queueData("PING :3\r\n");
    int nested = 0;
    dispatcher.onDispatch = [&](const Reply&) {
        const std::vector<std::string> before = sockets.calls;
        EXPECT_TRUE(inbound.dispatching());
        EXPECT_EQ(inbound.odbierz(kSock, dispatcher), -1);
        EXPECT_EQ(inbound.odb(kSock, dispatcher), -1);
        EXPECT_EQ(sockets.calls, before);  // neither select nor recv ran
        ++nested;
    };
    EXPECT_EQ(inbound.odbierz(kSock, dispatcher), 9);
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(dispatcher.replies,
              (std::vector<Words>{{"PING", "1"}, {"PING", "2"}, {"PING", "3"}}));
    EXPECT_FALSE(inbound.dispatching());
    EXPECT_TRUE(printer.lines.empty());
}

TEST_F(InboundTest, ClearPendingStartsANewConnectionClean) {
    sockets.queueData("PING :old");
    EXPECT_EQ(inbound.odb(kSock, dispatcher), 9);
    inbound.clearPending();
    EXPECT_TRUE(inbound.pending().empty());
    sockets.queueData(":s 001 me :hi\r\n");
    EXPECT_EQ(inbound.odb(kSock, dispatcher), 15);
    EXPECT_EQ(dispatcher.replies, (std::vector<Words>{{"s", "001", "me", "hi"}}));
}

}  // namespace
}  // namespace kolu
