#pragma once
// A TCP proxy for fault tests: it listens on a free 127.0.0.1 port and forwards each
// connection it accepts to a target port on 127.0.0.1 (a newer connection replaces the
// last), until the test injects a fault. A background thread does all the socket work.
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/fake_irc_server.h"

namespace kolu::test {

class FaultProxy {
  public:
    enum class Fault {
        kNone,       // forwards both ways as the bytes come
        kStall,      // forwards nothing either way; both connections stay open
        kTrickle,    // server bytes reach the client one at a time, one each turn
        kCut,        // half of the next server chunk, then a close (FIN) to the client
        kReset,      // half of the next server chunk, then a reset (RST) to the client
        kHalfClose,  // the client's side is shut for writing now, and still read
    };

    // Throws std::runtime_error when it can't listen.
    explicit FaultProxy(int targetPort);
    ~FaultProxy();

    int port() const { return m_port; }
    // Takes effect at the thread's next turn. A cut or reset ends the server's connection
    // too and is then over; kNone after a trickle sends what is still held at once.
    void inject(Fault fault);
    // No connection is accepted (nor the target connected) until `wait` from now.
    void delayAccept(Millis wait);

  private:
    void run();
    void forward(bool fromClient, bool fromServer);
    void accept();
    void endClient(bool reset);

    int m_listenFd = -1;
    int m_port = 0;
    int m_targetPort = 0;

    mutable std::mutex m_mutex;
    Fault m_fault = Fault::kNone;
    std::chrono::steady_clock::time_point m_acceptAt{};
    int m_clientFd = -1;
    int m_serverFd = -1;
    bool m_stopping = false;
    std::string m_held;  // server bytes a trickle has still to pass on

    std::thread m_thread;
};

}  // namespace kolu::test
