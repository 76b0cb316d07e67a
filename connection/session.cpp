#include "connection/session.h"

#include "settings/colour_table.h"

namespace kolu {

Session::Session(const SessionServices& services, int scaleFactor)
    : log(services.log.sibling()),
      sounds(services.settings, services.sound, log),
      tabs(sounds, services.metrics, scaleFactor),
      output(tabs, services.settings, services.clock, log),
      inbound(services.sockets, log),
      connection(state,
                 Connection::Parts{services.sockets, log, services.settings, services.host, tabs,
                                   output, services.colours, inbound, services.clock,
                                   [this](ConnectionData& data) { return currentServer(data); }}),
      context{state,  connection,    output, tabs,           services.settings, services.colours,
              sounds, services.host, log,    services.clock, &commands,         &notify},
      dispatcher(context),
      commands(CommandParser::Parts{state, connection, tabs, output, services.settings,
                                    services.colours, services.clock, services.host}),
      notify(NotifyList::Parts{state, connection, output, services.settings, services.colours},
             &commands),
      dictionary(services.dictionary),
      m_colours(services.colours),
      m_servers{services.settings, log, services.clock, services.random} {
    tabs.dodaj_status();
    tabs.setOpenHook([this](int index) { output.replayHistory(index); });
    connection.setDispatcher(&dispatcher);
    connection.setNotifyHooks(&notify);
    notify.setHost(&services.host);
    commands.setTeacher(&teacher);
    notify.NotifyList_Load();
    log.connectStatus(
        [this](std::u16string_view text) {
            output.addLine(u"", text, m_colours.of(LineClass::Info));
        },
        &state.connected);
}

int Session::currentServer(ConnectionData& out) {
    int found = 0;
    if (linkedServer) {
        out = *linkedServer;
        found = 1;
    } else {
        found =
            server ? SrvConnectionData(m_servers, *server, out) : SrvConnectionData(m_servers, out);
    }
    if (found) {
        output.setNetwork(out.network);
    }
    return found;
}

void Session::reopenChannels(const std::vector<std::u16string>& channels) {
    if (channels.empty()) {
        return;
    }
    // The tabs replay their stored lines, which are kept under the network.
    ConnectionData data;
    currentServer(data);
    for (const std::u16string& channel : channels) {
        tabs.dodaj_zakladke(channel);
    }
    tabs.markChannelsNotJoined(m_colours.of(LineClass::Info));
    state.reopenedChannels = channels;
}

std::vector<std::u16string> Session::channelNames() {
    std::vector<std::u16string> names;
    for (int i = 1; i < tabs.count(); ++i) {
        const TabRecord* record = tabs.pobierz_lparam(i);
        if (record && record->userList) {
            names.push_back(tabs.pobierz_nazwe(i, record->nameLength));
        }
    }
    return names;
}

Session::~Session() {
    log.connectStatus(nullptr, nullptr);  // nothing prints into a session coming down
}

}  // namespace kolu
