#include "protocol/dispatcher.h"

#include "connection/connection.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "ui/line_output.h"

namespace kolu {

Dispatcher::Dispatcher(SessionState& state, Connection& connection, LineOutput& output,
                       Settings& settings, const ColourTable& colours)
    : m_state(state),
      m_connection(connection),
      m_output(output),
      m_settings(settings),
      m_colours(colours) {}

int Dispatcher::DispatchReply(const Reply& reply) {
    if (equalsIgnoreCase(reply.word(0), u"PING")) {
        return reply_PING(reply);
    }
    m_output.RIDodajLinie(u"", reply.word(3), m_colours.of(LineClass::Normal));
    return 1;
}

int Dispatcher::reply_PING(const Reply& reply) {
    const std::u16string pong = u"PONG :" + reply.word(1);
    if (m_settings.RegCzytajLONG(u"hideping") == 0) {
        m_output.RIDodajLinie(u"", u"PING? PONG!", m_colours.of(LineClass::Ping));
    }
    m_connection.SendNonEmpty(m_state.socket, pong);
    return 1;
}

}  // namespace kolu
