#include "connection/session.h"

#include "settings/error_log.h"

namespace kolu {

Session::Session(const SessionServices& services, int scaleFactor)
    : sounds(services.settings, services.sound, services.log),
      tabs(sounds, services.metrics, scaleFactor),
      output(tabs, services.settings, services.clock, services.log),
      inbound(services.sockets, services.log),
      connection(state,
                 Connection::Parts{services.sockets, services.log, services.settings, services.host,
                                   tabs, output, services.colours, inbound, services.clock,
                                   [this](ConnectionData& data) { return currentServer(data); }}),
      context{
          state,  connection,    output,       tabs,           services.settings, services.colours,
          sounds, services.host, services.log, services.clock, &commands,         &notify},
      dispatcher(context),
      commands(CommandParser::Parts{state, connection, tabs, output, services.settings,
                                    services.colours, services.clock, services.host}),
      notify(NotifyList::Parts{state, connection, output, services.settings, services.colours},
             &commands),
      dictionary(services.settings, services.log),
      m_log(services.log),
      m_servers{services.settings, services.log, services.clock, services.random} {
    tabs.dodaj_status();
    tabs.setOpenHook([this](int index) { output.replayHistory(index); });
    connection.setDispatcher(&dispatcher);
    connection.setNotifyHooks(&notify);
    notify.setHost(&services.host);
    commands.setTeacher(&teacher);
    notify.NotifyList_Load();
    m_log.connectStatus(
        [this, &colours = services.colours](std::u16string_view text) {
            output.addLine(u"", text, colours.of(LineClass::Info));
        },
        &state.connected);
}

int Session::currentServer(ConnectionData& out) {
    const int found = linkedServer ? (out = *linkedServer, 1) : SrvConnectionData(m_servers, out);
    if (found) {
        output.setNetwork(out.network);
    }
    return found;
}

Session::~Session() {
    m_log.connectStatus(nullptr, nullptr);
}

}  // namespace kolu
