#include "app/services.h"

#include <QFile>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/shipped_resources.h"

namespace kolu {
namespace {

InstallReport installShippedDefaults(RegistryStore& store, const std::string& dataFolder) {
    std::vector<std::string> names;
    for (const QString& name : koluShippedFiles()) {
        names.push_back(name.toStdString());
    }
    return runInstallStep(
        store, dataFolder, names, [](const std::string& name, std::string& bytes) {
            QFile file(QStringLiteral(":/defaults/") + QString::fromStdString(name));
            if (!file.open(QIODevice::ReadOnly)) {
                return false;
            }
            QByteArray data = file.readAll();
            bytes.assign(data.constData(), static_cast<std::size_t>(data.size()));
            return true;
        });
}

}  // namespace

Services::Services(const std::string& dataFolder, const std::string& registryPath)
    : store(registryPath),
      install(installShippedDefaults(store, dataFolder)),
      log(store, clock, fromUtf8(dataFolder)),
      settings(store, log, clock, random, fromUtf8(dataFolder)),
      dictionary(settings, log),
      history(settings, clock, dataFolder) {
    // Left-overs of a client killed while saving the server list or favourites.
    removeStaleTemporaries(dataFolder, atomicWriterOf);
    settings.setDefaultEmail(fromUtf8(loginName()) + u"@localhost");
    settings.RegTworzKlucz();
    colours.reload(settings);
    dictionary.startUp();
}

}  // namespace kolu
