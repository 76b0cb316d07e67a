// Kolu's entry point: one instance per user, the install step and services, then
// the main windows.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

#include "app/services.h"
#include "gui/main_window.h"
#include "gui/prompt_dialogs.h"
#include "gui/window_set.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/qt/single_instance.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "resources/shipped_resources.h"
#include "settings/settings.h"
#include "ui/display_scale.h"

namespace {

constexpr const char* kUsage =
    "Usage: kolu [--help | --version] [--new-window] [irc://host[:port]/channel]\n"
    "An IRC client with a small-screen layout.\n"
    "\n"
    "  --help        print this text and exit\n"
    "  --version     print the name and version and exit\n"
    "  --new-window  open another window in the running client (or start with one)\n"
    "  irc://...     connect to the server (ircs:// with TLS) and join the channel,\n"
    "                in the running client's last used window when there is one\n"
    "\n"
    "Settings: $XDG_CONFIG_HOME/kolu/registry (default ~/.config/kolu/registry)\n"
    "Files:    $XDG_DATA_HOME/kolu/ (default ~/.local/share/kolu/)\n"
    "Qt's own options (-platform, -style, ...) are passed on to Qt.\n";

// --help and --version are answered before Qt starts, so they need no display.
std::optional<int> answerCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Kolu %s\n", KOLU_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    return std::nullopt;
}

// A fixed "Text size" scales the whole toolkit, which it takes only before it
// starts: the setting is read straight from the store's text (a store that does
// not parse is left for the services to report). A scale the user set for Qt wins.
void applyTextSize(const std::string& storePath) {
    std::string text;
    std::vector<kolu::registry_format::ParsedKey> keys;
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR") || kolu::readWholeFile(storePath, text) != 0 ||
        !kolu::registry_format::parse(text, keys)) {
        return;
    }
    for (const auto& key : keys) {
        if (!kolu::equalsIgnoreCase(key.path, kolu::kSettingsKey)) {
            continue;
        }
        for (const auto& value : key.values) {
            if (value.type != kolu::kRegDword || value.bytes.size() != 4 ||
                !kolu::equalsIgnoreCase(value.name, u"textsize")) {
                continue;
            }
            std::int32_t number = 0;
            std::memcpy(&number, value.bytes.data(), sizeof number);
            if (const double scale = kolu::fixedTextScale(number); scale > 0) {
                qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
                qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
            }
        }
    }
}

// The icon drawn at every size the build makes, so each window picks its best.
QIcon applicationIcon() {
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons"));
    for (const QString& name : folder.entryList(QDir::Files)) {
        icon.addFile(folder.filePath(name));
    }
    return icon;
}

// Problems the user must hear about: their settings file was unreadable, or
// shipped files could not be put in place.
void reportStartupProblems(QWidget* window, const kolu::Services& services) {
    if (!services.store.corruptFileKeptAs().empty()) {
        kolu::messageInWindow(
            window, QMessageBox::Warning, QStringLiteral("Warning"),
            QStringLiteral("The settings file could not be read. It was kept as\n%1\n"
                           "and Kolu started with default settings.")
                .arg(QString::fromStdString(services.store.corruptFileKeptAs())),
            QMessageBox::Ok);
    }
    if (!services.install.failures.empty()) {
        QStringList lines;
        for (const std::string& failure : services.install.failures) {
            lines << QString::fromStdString(failure);
        }
        kolu::messageInWindow(window, QMessageBox::Warning, QStringLiteral("Warning"),
                              QStringLiteral("Kolu could not install some of its files:\n") +
                                  lines.join(QLatin1Char('\n')),
                              QMessageBox::Ok);
    }
}

}  // namespace

// InitInstance: hand over to a running instance, else open the main windows.
int main(int argc, char** argv) {
    if (const std::optional<int> exitCode = answerCommandLine(argc, argv)) {
        return *exitCode;
    }
    applyTextSize(kolu::registryFile());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolu"));
    // Lets the desktop match the window to its entry (and icon) under Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral(KOLU_APP_ID));
    QApplication::setWindowIcon(applicationIcon());
    // The desktop starts the client with an irc:// or ircs:// address to open, or
    // asks for a new window (its entry's action).
    QString link;
    bool newWindow = false;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        if (argument.startsWith(QStringLiteral("irc://"), Qt::CaseInsensitive) ||
            argument.startsWith(QStringLiteral("ircs://"), Qt::CaseInsensitive)) {
            link = argument;
        } else if (argument == QStringLiteral("--new-window")) {
            newWindow = true;
        }
    }
    kolu::SingleInstance instance(QString::fromStdString(kolu::runtimeFolder()));
    if (instance.handOverToRunningInstance(link, newWindow)) {
        return 0;
    }
    koluInitResources();

    kolu::Services services(kolu::dataFolder(), kolu::registryFile());
    kolu::WindowSet windows(
        kolu::MainWindowServices{{services.settings, services.log, services.sockets, services.sound,
                                  services.clock, services.random},
                                 services.colours,
                                 &services.history,
                                 &services.dictionary},
        kolu::dataFolder());
    QObject::connect(&instance, &kolu::SingleInstance::raiseRequested, &windows,
                     &kolu::WindowSet::bringToFront);
    QObject::connect(&instance, &kolu::SingleInstance::newWindowRequested, &windows,
                     [&windows] { windows.openWindow(); });
    QObject::connect(&instance, &kolu::SingleInstance::linkRequested, &windows,
                     &kolu::WindowSet::openLink);
    // Asked for a new window with none running: just that one, not the saved ones.
    windows.openAtStart(!newWindow);
    QTimer::singleShot(0, &windows, [&] {
        reportStartupProblems(windows.mostRecent(), services);
        windows.showWelcome();
        if (!link.isEmpty()) {
            windows.openLink(link);
        }
    });
    return app.exec();
}
