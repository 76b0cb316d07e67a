#include "options/server_login_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "connection/server_logins.h"
#include "gui/qt_text.h"

namespace kolu {
namespace {

constexpr int kNone = 0;  // the combo box's first entry; the mechanisms follow

QLineEdit* limitedField(int limit, const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(limit);
    edit->setAccessibleName(name);
    return edit;
}

QPushButton* browseButton(const QString& name, QWidget* parent) {
    auto* button = new QPushButton(QStringLiteral("Browse"), parent);
    button->setAccessibleName(name);
    return button;
}

// A path field with its Browse button beside it.
QHBoxLayout* pathRow(QLineEdit* field, QPushButton* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(field, 1);
    row->addWidget(button);
    return row;
}

}  // namespace

ServerLoginPage::ServerLoginPage(QWidget* parent) : QWidget(parent) {
    m_mechanism = new QComboBox(this);
    m_mechanism->setAccessibleName(QStringLiteral("Login mechanism"));
    m_mechanism->addItem(QStringLiteral("None"));
    for (const std::u16string_view name : kLoginMechanisms) {
        m_mechanism->addItem(qs(name));
    }
    m_account = limitedField(kAccountLimit, QStringLiteral("Account"), this);
    m_password = limitedField(kPasswordLimit, QStringLiteral("Account password"), this);
    m_password->setEchoMode(QLineEdit::Password);
    m_certificate = limitedField(kPathLimit, QStringLiteral("Certificate file"), this);
    m_key = limitedField(kPathLimit, QStringLiteral("Key file"), this);
    m_browseCertificate = browseButton(QStringLiteral("Browse for the certificate file"), this);
    m_browseKey = browseButton(QStringLiteral("Browse for the key file"), this);
    m_required = new QCheckBox(QStringLiteral("Disconnect when the login fails"), this);
    m_required->setAccessibleName(m_required->text());
    // The caption may be wider than the handheld's screen; the box still fits.
    m_required->setMinimumWidth(0);
    m_required->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* form = new QFormLayout(this);
    // Labels above their fields: a path and its button need the whole width of
    // the handheld's screen (240 px).
    form->setRowWrapPolicy(QFormLayout::WrapAllRows);
    form->addRow(new QLabel(QStringLiteral("Mechanism"), this), m_mechanism);
    form->addRow(new QLabel(QStringLiteral("Account"), this), m_account);
    form->addRow(new QLabel(QStringLiteral("Password"), this), m_password);
    form->addRow(new QLabel(QStringLiteral("Certificate file"), this),
                 pathRow(m_certificate, m_browseCertificate));
    form->addRow(new QLabel(QStringLiteral("Key file"), this), pathRow(m_key, m_browseKey));
    form->addRow(m_required);

    connect(m_mechanism, &QComboBox::currentIndexChanged, this, &ServerLoginPage::mechanismChosen);
    connect(m_browseCertificate, &QPushButton::clicked, this,
            [this] { browse(m_certificate, QStringLiteral("Certificate file")); });
    connect(m_browseKey, &QPushButton::clicked, this,
            [this] { browse(m_key, QStringLiteral("Key file")); });
    mechanismChosen();
}

void ServerLoginPage::show(const std::optional<SaslLogin>& login) {
    const SaslLogin shown = login.value_or(SaslLogin{});
    const int index = login ? m_mechanism->findText(qs(login->mechanism)) : kNone;
    m_mechanism->setCurrentIndex(index < 0 ? kNone : index);
    m_account->setText(qs(shown.account));
    m_password->setText(qs(shown.password));
    m_certificate->setText(QString::fromStdString(shown.certFile));
    m_key->setText(QString::fromStdString(shown.keyFile));
    m_required->setChecked(shown.required);
    mechanismChosen();
}

std::optional<SaslLogin> ServerLoginPage::login() const {
    if (m_mechanism->currentIndex() == kNone) {
        return std::nullopt;
    }
    SaslLogin login;
    login.mechanism = m_mechanism->currentText().toStdU16String();
    login.account = m_account->text().toStdU16String();
    if (m_password->isEnabled()) {
        login.password = m_password->text().toStdU16String();
    }
    if (m_certificate->isEnabled()) {
        login.certFile = m_certificate->text().toStdString();
        login.keyFile = m_key->text().toStdString();
    }
    login.required = m_required->isChecked();
    return login;
}

void ServerLoginPage::mechanismChosen() {
    const bool any = m_mechanism->currentIndex() != kNone;
    const bool external = m_mechanism->currentText() == QStringLiteral("EXTERNAL");
    m_account->setEnabled(any);
    m_password->setEnabled(any && !external);
    for (QWidget* part :
         {static_cast<QWidget*>(m_certificate), static_cast<QWidget*>(m_key),
          static_cast<QWidget*>(m_browseCertificate), static_cast<QWidget*>(m_browseKey)}) {
        part->setEnabled(external);
    }
    m_required->setEnabled(any);
}

void ServerLoginPage::browse(QLineEdit* field, const QString& title) {
    const QString start = field->text().isEmpty() ? QString() : QFileInfo(field->text()).path();
    const QString chosen = QFileDialog::getOpenFileName(
        this, title, start, QStringLiteral("PEM files (*.pem *.crt *.key);;All files (*)"));
    if (chosen.isEmpty()) {
        return;
    }
    if (chosen.size() > kPathLimit) {
        // Cut by the field, it would name another file.
        QMessageBox::warning(
            this, QStringLiteral("Warning"),
            QStringLiteral("The path is too long (at most %1 characters).").arg(kPathLimit));
        return;
    }
    field->setText(chosen);
}

}  // namespace kolu
