#include "options/connection_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "connection/server_logins.h"
#include "gui/whisper_hook.h"
#include "options/server_dialog.h"
#include "options/textured_button.h"

namespace kolu {

ConnectionPage::ConnectionPage(ServerList& list, std::int32_t storedServer, int scaleFactor,
                               const WhisperServices* whispers, QWidget* parent)
    : OptionsPageWidget(parent),
      m_whispers(whispers),
      m_choice(list),
      m_storedServer(storedServer) {
    auto* page = new QVBoxLayout(this);
    auto* serverBox = new QGroupBox(QStringLiteral("Server"), this);
    serverBox->setObjectName(QStringLiteral("1108"));
    auto* grid = new QGridLayout(serverBox);
    m_networks = new QComboBox(serverBox);
    m_networks->setObjectName(QStringLiteral("1102"));
    m_servers = new QComboBox(serverBox);
    m_servers->setObjectName(QStringLiteral("1103"));
    grid->addWidget(makeLabel(1101, QStringLiteral("Network:"), serverBox), 0, 0);
    grid->addWidget(m_networks, 0, 1, 1, 2);
    grid->addWidget(makeLabel(1107, QStringLiteral("Server:"), serverBox), 1, 0);
    grid->addWidget(m_servers, 1, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* add = new TexturedButton(1104, QStringLiteral("Add"), TexturedButton::Face::Add,
                                   scaleFactor, serverBox);
    auto* edit = new TexturedButton(1105, QStringLiteral("Edit"), TexturedButton::Face::Edit,
                                    scaleFactor, serverBox);
    auto* remove = new TexturedButton(1106, QStringLiteral("Delete"), TexturedButton::Face::Delete,
                                      scaleFactor, serverBox);
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(add), static_cast<QAbstractButton*>(edit),
          static_cast<QAbstractButton*>(remove)}) {
        buttons->addWidget(button);
    }
    grid->addLayout(buttons, 2, 0, 1, 3);
    page->addWidget(serverBox);

    auto* names = new QGridLayout;
    const std::pair<int, const char*> fields[] = {
        {1110, "Nick Name"}, {1112, "Alter Nick"}, {1114, "Fullname"}, {1116, "Email"}};
    int row = 0;
    for (const auto& [id, text] : fields) {
        names->addWidget(makeLabel(id - 1, QString::fromLatin1(text), this), row, 0);
        QLineEdit* field = makeEdit(id, this);
        names->addWidget(field, row, 1);
        if (m_whispers && id != 1116) {
            attachWhispers(*field, *this, *m_whispers, [] { return 1; });
        }
        ++row;
    }
    page->addLayout(names);
    page->addStretch();

    // CBN_CLOSEUP of the network list: its servers.
    connect(m_networks, &QComboBox::activated, this, [this](int index) {
        m_choice.chooseNetwork(index);
        showChoice();
    });
    connect(m_servers, &QComboBox::activated, this,
            [this](int index) { m_choice.chooseServer(index); });
    connect(add, &QAbstractButton::clicked, this, &ConnectionPage::addServer);
    connect(edit, &QAbstractButton::clicked, this, &ConnectionPage::editServer);
    connect(remove, &QAbstractButton::clicked, this, &ConnectionPage::deleteServer);
}

void ConnectionPage::load(const OptionsPages& pages) {
    m_choice.SrvPokazWybrany(pages.server);
    showChoice();
}

void ConnectionPage::store(OptionsPages& pages) const {
    pages.chosenServer = m_choice.selectedRecord();
}

void ConnectionPage::showChoice() {
    const QSignalBlocker blockNetworks(m_networks);
    const QSignalBlocker blockServers(m_servers);
    m_networks->clear();
    for (const std::u16string& network : m_choice.networks()) {
        m_networks->addItem(qs(network));
    }
    m_networks->setCurrentIndex(m_choice.selectedNetwork());
    m_servers->clear();
    for (const ServerChoice::ServerEntry& entry : m_choice.servers()) {
        m_servers->addItem(qs(entry.text));
    }
    m_servers->setCurrentIndex(m_choice.selectedServer());
}

void ConnectionPage::addServer() {
    ServerRecord record;
    ServerDialog dialog(record, this, m_logins);
    dialog.setFont(font());
    if (m_whispers) {
        dialog.offerWhispers(*m_whispers, true);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    SrvDodajNaKoniec(m_choice.list(), std::make_unique<ServerRecord>(std::move(record)));
    m_choice.SrvPokazWybrany(m_storedServer);
    showChoice();
}

void ConnectionPage::editServer() {
    ServerRecord* record = m_choice.selectedRecord();
    if (!record) {
        return;
    }
    const std::u16string oldServer = record->server;
    ServerDialog dialog(*record, this, m_logins);
    dialog.setFont(font());
    if (m_whispers) {
        dialog.offerWhispers(*m_whispers, false);
    }
    if (dialog.exec() == QDialog::Accepted) {
        if (writtenServerName(record->server) != writtenServerName(oldServer)) {
            dropHost(oldServer);
        }
        m_choice.SrvPokazWybrany(SrvIndeks(m_choice.list(), record));
        showChoice();
    }
}

void ConnectionPage::deleteServer() {
    if (!m_choice.selectedRecord()) {
        return;
    }
    if (QMessageBox::question(this, QStringLiteral("Delete server"),
                              QStringLiteral("Are you sure?")) == QMessageBox::Yes) {
        dropHost(m_choice.selectedRecord()->server);
        m_choice.SrvUsun(m_choice.selectedServer());
        showChoice();
    }
}

void ConnectionPage::dropHost(const std::u16string& server) {
    if (m_logins) {
        m_droppedHosts.push_back(writtenServerName(server));
    }
}

void ConnectionPage::forgetDroppedLogins() {
    for (const std::u16string& host : m_droppedHosts) {
        const auto servers = m_choice.list().servers();
        const bool stillNamed =
            std::any_of(servers.begin(), servers.end(),
                        [&](const ServerRecord& r) { return writtenServerName(r.server) == host; });
        if (!stillNamed && m_logins->remove(host) != 0) {
            // The server list is saved already; the login merely outlives its server.
            QMessageBox::warning(
                this, QStringLiteral("Warning"),
                QStringLiteral("The login of %1 could not be removed.").arg(qs(host)));
        }
    }
    m_droppedHosts.clear();
}

}  // namespace kolu
