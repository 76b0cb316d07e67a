#include "options/switches_page.h"

#include <QGroupBox>
#include <QVBoxLayout>

namespace kolu {
namespace {

QGroupBox* group(const QString& title, std::initializer_list<std::pair<int, const char*>> checks,
                 QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(box);
    for (const auto& [id, text] : checks) {
        layout->addWidget(makeCheck(id, QString::fromLatin1(text), box));
    }
    return box;
}

}  // namespace

SwitchesPage::SwitchesPage(QWidget* parent) : OptionsPageWidget(parent) {
    auto* page = new QVBoxLayout(this);
    page->addWidget(
        group(QStringLiteral("Channel"),
              {{1201, "Short Joins/Parts"}, {1202, "Show addresses"}, {1203, "Rejoin after kick"}},
              this));
    page->addWidget(group(QStringLiteral("IRC"),
                          {{1206, "Reconnect"},
                           {1207, "Hide Ping?Pong!"},
                           {1208, "Skip MOTD"},
                           {1209, "Splash Screen at startup"},
                           {1210, "Use IRCv3 capabilities"},
                           {1211, "Show lag in the status tab"}},
                          this));
    page->addWidget(group(
        QStringLiteral("Desktop notifications"),
        {{1212, "Highlights"}, {1213, "Private messages"}, {1214, "Notify list arrivals"}}, this));
    page->addStretch();
}

}  // namespace kolu
