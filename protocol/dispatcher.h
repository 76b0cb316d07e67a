#pragma once
// Hands each received line to its handler. For now it answers the server's
// PING and prints every other line's text in the status tab.
#include "protocol/reply.h"

namespace kolu {

class Connection;
class LineOutput;
class Settings;
class ColourTable;
struct SessionState;

class Dispatcher final : public ReplyDispatcher {
  public:
    Dispatcher(SessionState& state, Connection& connection, LineOutput& output, Settings& settings,
               const ColourTable& colours);

    void dispatch(const Reply& reply) override { DispatchReply(reply); }
    int DispatchReply(const Reply& reply);
    int reply_PING(const Reply& reply);

  private:
    SessionState& m_state;
    Connection& m_connection;
    LineOutput& m_output;
    Settings& m_settings;
    const ColourTable& m_colours;
};

}  // namespace kolu
