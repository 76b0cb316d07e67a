#include "options/server_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

#include "connection/server_logins.h"
#include "gui/accessible_names.h"
#include "gui/whisper_hook.h"
#include "options/page_widget.h"
#include "options/server_login_page.h"
#include "platform/error_text.h"

namespace kolu {
namespace {

QLineEdit* field(int id, int limit, const std::u16string& text, QWidget* parent) {
    QLineEdit* edit = makeEdit(id, parent);
    edit->setMaxLength(limit - 1);
    edit->setText(qs(text));
    return edit;
}

}  // namespace

ServerDialog::ServerDialog(ServerRecord& record, QWidget* parent, ServerLogins* logins)
    : QDialog(parent), m_record(record), m_logins(logins) {
    setWindowTitle(QStringLiteral("Server"));
    auto* layout = new QVBoxLayout(this);
    auto* serverPage = new QWidget(this);
    auto* form = new QFormLayout(serverPage);
    form->setContentsMargins(0, 0, 0, 0);
    m_network = field(3102, kNetworkLimit, record.network, this);
    m_server = field(3104, kServerLimit, record.server, this);
    m_ports = field(3106, kPortsLimit, record.ports, this);
    m_ports->setPlaceholderText(QStringLiteral("6667,+6697"));
    // Wrapped, so the note never makes the dialog wider than the handheld's
    // screen (240 px).
    auto* tlsNote = new QLabel(QStringLiteral("+ before a port: TLS (+6697)"), this);
    tlsNote->setWordWrap(true);
    m_password = field(3108, kPasswordLimit, record.password, this);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(makeLabel(3101, QStringLiteral("Network"), this), m_network);
    form->addRow(makeLabel(3103, QStringLiteral("Server"), this), m_server);
    form->addRow(makeLabel(3105, QStringLiteral("Port(s)"), this), m_ports);
    form->addRow(QString(), tlsNote);
    form->addRow(makeLabel(3107, QStringLiteral("Password"), this), m_password);
    if (m_logins) {
        // A page of its own: below the server's fields it would not fit the
        // handheld's screen.
        auto* pages = new QTabWidget(this);
        pages->setAccessibleName(QStringLiteral("Server pages"));
        pages->addTab(serverPage, QStringLiteral("Server"));
        m_loginPage = new ServerLoginPage;
        // Taller than the handheld's screen: it scrolls rather than being cut off.
        auto* scroller = new QScrollArea;
        scroller->setWidget(m_loginPage);
        scroller->setWidgetResizable(true);
        scroller->setFrameShape(QFrame::NoFrame);
        scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        pages->addTab(scroller, QStringLiteral("Account"));
        if (!record.server.empty()) {
            m_shownLogin = m_logins->find(writtenServerName(record.server));
        }
        m_loginPage->show(m_shownLogin);
        layout->addWidget(pages);
    } else {
        layout->addWidget(serverPage);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerDialog::reject);
    nameControlsByTheirLabels(*this);
    layout->addWidget(buttons);
}

void ServerDialog::offerWhispers(const WhisperServices& services, bool adding) {
    if (adding) {
        attachWhispers(*m_network, *this, services, [] { return 1; });
    }
    for (QLineEdit* field : {m_server, m_ports}) {
        attachWhispers(*field, *this, services, [] { return 1; });
    }
}

int ServerDialog::SrvZapisz() {
    if (m_network->text().isEmpty() || m_server->text().isEmpty() || m_ports->text().isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Warning"),
                             QStringLiteral("You must fill in network,\nurl and port fields!"),
                             QMessageBox::Ok);
        return 0;
    }
    m_record.network = m_network->text().toStdU16String();
    m_record.server = m_server->text().toStdU16String();
    m_record.ports = m_ports->text().toStdU16String();
    m_record.password = m_password->text().toStdU16String();
    return 1;
}

bool ServerDialog::saveLogin(const std::u16string& oldHost) {
    const std::u16string host = writtenServerName(m_record.server);
    const std::optional<SaslLogin> login = m_loginPage->login();
    const bool moved = host != writtenServerName(oldHost);
    int error = 0;
    if (login && (moved || login != m_shownLogin)) {
        error = m_logins->set(host, *login);
    } else if (!login && !moved && m_shownLogin) {
        error = m_logins->remove(host);
    }
    // A new or renamed server left at "None" keeps whatever its host already has:
    // another server entry for that host may log in with it.
    if (error != 0) {
        QMessageBox::warning(
            this, QStringLiteral("Warning"),
            QStringLiteral("The login could not be saved (%1).").arg(qs(errorPhrase(error))),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void ServerDialog::accept() {
    const ServerRecord before = m_record;
    if (SrvZapisz() != 1) {
        return;
    }
    if (m_loginPage && !saveLogin(before.server)) {
        m_record = before;  // nothing is taken unless all of it is
        return;
    }
    QDialog::accept();
}

}  // namespace kolu
