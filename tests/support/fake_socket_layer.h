#pragma once
// A socket layer for logic tests: no real sockets, every call recorded, the
// last error settable. Calls fail unless a test scripts otherwise.
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace kolu::test {

class FakeSocketLayer : public SocketLayer {
  public:
    int error = 0;
    std::vector<std::string> calls;

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
    int select(SocketHandle, SelectSets&, int) override { return fail("select"); }
    int socketError(SocketHandle) override { return fail("socketError"); }
    int recv(SocketHandle, char*, int) override { return fail("recv"); }
    int send(SocketHandle, const char*, int) override { return fail("send"); }
    int closeSocket(SocketHandle) override { return fail("closeSocket"); }

  private:
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
