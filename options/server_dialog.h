#pragma once
// The small "Server" dialog of the Connection page: network, server, port(s)
// and a hidden password. OK stores the fields into the record only when the
// first three hold text (SrvZapisz); otherwise it warns and stays open, so
// Cancel always leaves the record as it was. Given the logins store, the
// dialog has a second page for the server's account login, saved by OK under
// the server's host (the old host's login is the caller's to forget).
#include <QDialog>
#include <optional>

#include "protocol/sasl.h"

#include "servers/server_list.h"

class QLineEdit;
class QPushButton;

namespace kolu {

class ServerLoginPage;
class ServerLogins;
struct WhisperServices;

class ServerDialog final : public QDialog {
    Q_OBJECT
  public:
    // Field limits, terminator included as the dialog counts them.
    static constexpr int kNetworkLimit = 60;
    static constexpr int kServerLimit = 120;
    static constexpr int kPortsLimit = 60;
    static constexpr int kPasswordLimit = 60;

    // Shows `record` (SrvWczytaj); OK writes it back, and with `logins` the
    // account login too.
    ServerDialog(ServerRecord& record, QWidget* parent = nullptr, ServerLogins* logins = nullptr);

    // Word completion on the fields (one word); the network only when adding, and
    // never on the password, whose hidden text a list would show.
    void offerWhispers(const WhisperServices& services, bool adding);

    // SrvZapisz: 1 when taken, 0 when refused (the warning was shown).
    int SrvZapisz();
    void accept() override;

    QLineEdit* networkField() const { return m_network; }
    QLineEdit* serverField() const { return m_server; }
    QLineEdit* portsField() const { return m_ports; }
    QLineEdit* passwordField() const { return m_password; }
    QPushButton* okButton() const { return m_ok; }
    // The account page; null without a logins store.
    ServerLoginPage* loginPage() const { return m_loginPage; }

  private:
    // Writes the login page to the store when it or the host changed; false
    // (after a warning) when the store could not be written.
    bool saveLogin(const std::u16string& oldHost);

    ServerRecord& m_record;
    ServerLogins* m_logins;
    ServerLoginPage* m_loginPage = nullptr;
    std::optional<SaslLogin> m_shownLogin;  // as read for the record's host
    QLineEdit* m_network;
    QLineEdit* m_server;
    QLineEdit* m_ports;
    QLineEdit* m_password;
    QPushButton* m_ok;
};

}  // namespace kolu
