// Kolu's entry point: one instance per user, the install step and services, then
// the main window.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/services.h"
#include "platform/paths.h"
#include "platform/qt/single_instance.h"
#include "resources/shipped_resources.h"
#include "ui/widgets/main_window.h"

namespace {

// Problems the user must hear about: their settings file was unreadable, or
// shipped files could not be put in place.
void reportStartupProblems(QWidget* window, const kolu::Services& services) {
    if (!services.store.corruptFileKeptAs().empty()) {
        QMessageBox::warning(
            window, QStringLiteral("Warning"),
            QStringLiteral("The settings file could not be read. It was kept as\n%1\n"
                           "and Kolu started with default settings.")
                .arg(QString::fromStdString(services.store.corruptFileKeptAs())));
    }
    if (!services.install.failures.empty()) {
        QStringList lines;
        for (const std::string& failure : services.install.failures) {
            lines << QString::fromStdString(failure);
        }
        QMessageBox::warning(window, QStringLiteral("Warning"),
                             QStringLiteral("Kolu could not install some of its files:\n") +
                                 lines.join(QLatin1Char('\n')));
    }
}

}  // namespace

// InitInstance: hand over to a running instance, else create the main window.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolu"));
    kolu::SingleInstance instance(QString::fromStdString(kolu::runtimeFolder()));
    if (instance.handOverToRunningInstance()) {
        return 0;
    }
    koluInitResources();

    kolu::Services services(kolu::dataFolder(), kolu::registryFile());
    kolu::MainWindow window(
        kolu::MainWindowServices{services.settings, services.log, services.sockets, services.sound,
                                 services.clock, services.random, services.colours});
    QObject::connect(&instance, &kolu::SingleInstance::raiseRequested, &window,
                     &kolu::MainWindow::bringToFront);
    window.show();
    QTimer::singleShot(0, &window, [&] {
        reportStartupProblems(&window, services);
        window.showWelcome();
    });
    return app.exec();
}
