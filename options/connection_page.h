#pragma once
// The "Connection" page: the network and server lists with Add, Edit and
// Delete over the dialog's own server list, and the four name fields.
#include <QComboBox>
#include <vector>

#include "options/page_widget.h"
#include "servers/server_choice.h"

namespace kolu {

class ServerLogins;
struct WhisperServices;

class ConnectionPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    // `list` is the dialog's server list; `storedServer` the `server` setting as
    // it was when the dialog opened (Add shows that position afterwards).
    // With `whispers`, the name fields and the server dialog's fields complete words.
    ConnectionPage(ServerList& list, std::int32_t storedServer, int scaleFactor,
                   const WhisperServices* whispers = nullptr, QWidget* parent = nullptr);

    // The server dialogs show and save account logins in `logins`.
    void useLogins(ServerLogins* logins) { m_logins = logins; }
    // Once the server list is saved: forgets the logins of hosts that were
    // deleted or renamed and that no server in the list still names.
    void forgetDroppedLogins();

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;

    const ServerChoice& choice() const { return m_choice; }
    QComboBox* networks() const { return m_networks; }
    QComboBox* servers() const { return m_servers; }

    // srvprocadd: a new record, appended when the Server dialog takes it.
    void addServer();
    // srvprocedit: the chosen record, changed in place when the dialog takes it.
    void editServer();
    void deleteServer();

  private:
    // Shows the choice's lists and selections in the two combo boxes.
    void showChoice();

    // A server's host that was deleted or renamed (kept until the list is saved,
    // so a cancelled Options dialog loses no login).
    void dropHost(const std::u16string& server);

    const WhisperServices* m_whispers;
    ServerLogins* m_logins = nullptr;
    std::vector<std::u16string> m_droppedHosts;
    ServerChoice m_choice;
    std::int32_t m_storedServer;
    QComboBox* m_networks;
    QComboBox* m_servers;
};

}  // namespace kolu
