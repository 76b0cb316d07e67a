#pragma once
// A private D-Bus session bus for a test: dbus-daemon started in the foreground,
// DBUS_SESSION_BUS_ADDRESS pointing at it for the fixture's life, always stopped.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace kolu::test {

class SessionBus {
  public:
    SessionBus() {
        m_pid = startProgram({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address"},
                             m_dir.file("bus.log"));
        if (waitUntil(m_pid, [&] { return address().find('\n') != std::string::npos; }) !=
            Wait::Seen) {
            stopProgram(m_pid);
            throw std::runtime_error("dbus-daemon did not start: " + m_dir.read("bus.log"));
        }
        m_env.emplace("DBUS_SESSION_BUS_ADDRESS", address().substr(0, address().find('\n')));
    }
    ~SessionBus() { stopProgram(m_pid); }

  private:
    std::string address() const { return m_dir.read("bus.log"); }

    TempDir m_dir;
    pid_t m_pid = -1;
    std::optional<ScopedEnv> m_env;
};

}  // namespace kolu::test
