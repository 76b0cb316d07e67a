#pragma once
// The account part of the Server dialog: which SASL mechanism the server's
// connection logs in with, the account and its password or, for EXTERNAL, the
// client certificate and key, and whether a failed login ends the connection.
// Only the fields the chosen mechanism uses are enabled, and only they are kept.
#include <QWidget>
#include <optional>

#include "protocol/sasl.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kolu {

class ServerLoginPage final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kAccountLimit = 100;
    static constexpr int kPasswordLimit = 300;
    static constexpr int kPathLimit = 500;

    explicit ServerLoginPage(QWidget* parent = nullptr);

    // Shows `login`; none chooses "None" and empties the fields.
    void show(const std::optional<SaslLogin>& login);
    // What the fields say; none when "None" is chosen.
    std::optional<SaslLogin> login() const;

    QComboBox* mechanismBox() const { return m_mechanism; }
    QLineEdit* accountField() const { return m_account; }
    QLineEdit* passwordField() const { return m_password; }
    QLineEdit* certificateField() const { return m_certificate; }
    QLineEdit* keyField() const { return m_key; }
    QPushButton* certificateBrowse() const { return m_browseCertificate; }
    QPushButton* keyBrowse() const { return m_browseKey; }
    QCheckBox* requiredBox() const { return m_required; }

  private:
    // Enables what the chosen mechanism uses.
    void mechanismChosen();
    void browse(QLineEdit* field, const QString& title);

    QComboBox* m_mechanism;
    QLineEdit* m_account;
    QLineEdit* m_password;
    QLineEdit* m_certificate;
    QLineEdit* m_key;
    QPushButton* m_browseCertificate;
    QPushButton* m_browseKey;
    QCheckBox* m_required;
};

}  // namespace kolu
