#pragma once
// A socket layer for logic tests: no real sockets, every call recorded, the last error
// settable. Calls fail unless a test scripts otherwise: queuing an inbound event switches
// select and recv to follow the script, in order.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace kolu::test {

class FakeSocketLayer : public SocketLayer {
  public:
    // What the server side does next, as select and recv see it.
    struct Event {
        enum class Kind {
            Data,         // recv returns these bytes (as many as fit; the rest stays queued)
            Close,        // recv returns 0, and so does every later recv
            RecvError,    // recv fails with `code`
            Pause,        // one select finds nothing readable (the data comes later)
            SelectError,  // one select fails with `code`, its sets untouched
        };
        Kind kind;
        std::string bytes;
        int code = 0;
    };

    int error = 0;
    std::vector<std::string> calls;
    std::deque<Event> script;
    bool scripted = false;
    bool closed = false;  // the peer closed: readable for ever, recv gives 0
    std::vector<int> selectTimeouts;
    std::vector<int> recvLengths;
    // When set, send succeeds and each call's bytes are kept in order.
    bool acceptSends = false;
    std::vector<std::string> sent;
    // With acceptSends: the bytes the socket takes before it would block, as a
    // non-blocking socket whose peer reads nothing.
    std::size_t room = SIZE_MAX;
    // A send that would block waits for the peer's bytes, as TLS may.
    bool sendWantsRead = false;

    void queueData(std::string bytes) { queue({Event::Kind::Data, std::move(bytes)}); }
    void queueClose() { queue({Event::Kind::Close, {}}); }
    void queueRecvError(int code) { queue({Event::Kind::RecvError, {}, code}); }
    void queuePause() { queue({Event::Kind::Pause, {}}); }
    void queueSelectError(int code) { queue({Event::Kind::SelectError, {}, code}); }
    int count(const std::string& name) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }
    // Every whole line sent so far, without its line feed, however it was cut into sends.
    std::vector<std::string> sentLines() const {
        std::string all;
        for (const std::string& piece : sent) {
            all += piece;
        }
        std::vector<std::string> out;
        for (std::size_t start = 0, end; (end = all.find('\n', start)) != std::string::npos;
             start = end + 1) {
            out.push_back(all.substr(start, end - start));
        }
        return out;
    }

    int startup(std::uint16_t) override { return record("startup", 0); }
    int cleanup() override { return record("cleanup", 0); }
    int lastError() const override { return error; }
    void setLastError(int value) override { error = value; }
    std::optional<SocketAddress> resolve(std::string_view) override {
        record("resolve", 0);
        error = kWsaHostNotFound;
        return std::nullopt;
    }
    SocketHandle openTcp() override { return fail("openTcp"); }
    int setNonBlocking(SocketHandle, bool) override { return fail("setNonBlocking"); }
    int connect(SocketHandle, const SocketAddress&, std::uint16_t) override {
        return fail("connect");
    }
    int select(SocketHandle, SelectSets& sets, int timeoutMs) override {
        if (!scripted) {
            return fail("select");
        }
        record("select", 0);
        selectTimeouts.push_back(timeoutMs);
        const Event* next = script.empty() ? nullptr : &script.front();
        if (next && next->kind == Event::Kind::SelectError) {
            error = next->code;
            script.pop_front();
            return kSocketError;
        }
        const bool readable = closed || (next && next->kind != Event::Kind::Pause);
        if (next && !readable) {
            script.pop_front();  // the pause
        }
        sets.read = sets.read && readable;
        sets.write = sets.except = false;
        return sets.read ? 1 : 0;
    }
    int socketError(SocketHandle) override { return fail("socketError"); }
    int recv(SocketHandle, char* buffer, int length) override {
        if (!scripted) {
            return fail("recv");
        }
        record("recv", 0);
        recvLengths.push_back(length);
        if (closed) {
            return 0;
        }
        const Event::Kind kind = script.empty() ? Event::Kind::Pause : script.front().kind;
        if (kind == Event::Kind::Close || kind == Event::Kind::RecvError) {
            closed = kind == Event::Kind::Close;
            error = closed ? error : script.front().code;
            script.pop_front();
            return closed ? 0 : kSocketError;
        }
        if (kind != Event::Kind::Data) {
            error = kWsaEwouldblock;  // nothing has arrived yet
            return kSocketError;
        }
        Event& next = script.front();
        const std::size_t n = std::min(next.bytes.size(), static_cast<std::size_t>(length));
        std::memcpy(buffer, next.bytes.data(), n);
        next.bytes.erase(0, n);
        if (next.bytes.empty()) {
            script.pop_front();
        }
        return static_cast<int>(n);
    }
    int send(SocketHandle, const char* data, int length) override {
        if (!acceptSends) {
            return fail("send");
        }
        if (room == 0) {
            error = kWsaEwouldblock;
            return record("send", kSocketError);
        }
        length = static_cast<int>(std::min(static_cast<std::size_t>(length), room));
        room -= static_cast<std::size_t>(length);
        sent.emplace_back(data, static_cast<std::size_t>(length));
        return record("send", length);
    }
    int closeSocket(SocketHandle) override { return fail("closeSocket"); }
    bool sendWaitsForRead(SocketHandle) override { return sendWantsRead; }

  private:
    void queue(Event event) {
        scripted = true;
        script.push_back(std::move(event));
    }
    int record(const char* name, int result) {
        calls.emplace_back(name);
        return result;
    }
    int fail(const char* name) {
        error = kWsaEnotsock;
        return record(name, kSocketError);
    }
};

}  // namespace kolu::test
