#include "options/server_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "gui/whisper_hook.h"
#include "options/page_widget.h"

namespace kolu {
namespace {

QLineEdit* field(int id, int limit, const std::u16string& text, QWidget* parent) {
    QLineEdit* edit = makeEdit(id, parent);
    edit->setMaxLength(limit - 1);
    edit->setText(qs(text));
    return edit;
}

}  // namespace

ServerDialog::ServerDialog(ServerRecord& record, QWidget* parent)
    : QDialog(parent), m_record(record) {
    setWindowTitle(QStringLiteral("Server"));
    auto* form = new QFormLayout(this);
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
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &ServerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ServerDialog::reject);
    form->addRow(buttons);
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

void ServerDialog::accept() {
    if (SrvZapisz() == 1) {
        QDialog::accept();
    }
}

}  // namespace kolu
