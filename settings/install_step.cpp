#include "settings/install_step.h"

#include <cstring>

#include "platform/files.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "settings/string_value.h"

namespace kolu {
namespace {

std::string describe(const std::string& what, long code) {
    return what + ": error " + std::to_string(code) + " (" + std::strerror(static_cast<int>(code)) +
           ")";
}

// Writes a folder value into `keyPath` unless it is already there.
bool ensureFolderValue(RegistryStore& store, std::u16string_view keyPath, std::u16string_view name,
                       const std::string& folder, InstallReport& report) {
    RegKey key;
    long result = store.createKey(keyPath, key);
    if (result != kErrorSuccess) {
        report.failures.push_back(describe("settings key", result));
        return false;
    }
    bool wrote = false;
    std::uint32_t size = 0;
    if (store.queryValue(key, name, nullptr, nullptr, &size) == kErrorFileNotFound) {
        std::string bytes = encodeStringValue(fromUtf8(folder));
        result = store.setValue(key, name, kRegSz, bytes.data(),
                                static_cast<std::uint32_t>(bytes.size()));
        wrote = result == kErrorSuccess;
        if (!wrote) {
            report.failures.push_back(describe(toUtf8(name), result));
        }
    }
    result = store.closeKey(key);
    if (result != kErrorSuccess) {
        report.failures.push_back(describe("settings store", result));
        return false;
    }
    return wrote;
}

bool holdsPasswords(const std::string& name) {
    return name == "servers.txt";
}

}  // namespace

InstallReport runInstallStep(RegistryStore& store, const std::string& dataFolder,
                             const std::vector<std::string>& shippedNames,
                             const ShippedFileReader& readShipped) {
    InstallReport report;
    if (int error = makeFolders(dataFolder); error != 0) {
        report.failures.push_back(describe(dataFolder, error));
    }
    report.wroteInstallDir =
        ensureFolderValue(store, kInstallKey, u"InstallDir", dataFolder, report);
    report.wroteDictPath = ensureFolderValue(store, kSettingsKey, u"dictpath", dataFolder, report);

    for (const std::string& name : shippedNames) {
        const std::string target = dataFolder + name;
        if (fileExists(target)) {
            continue;
        }
        std::string bytes;
        if (!readShipped(name, bytes)) {
            report.failures.push_back(name + ": not in the program's resources");
            continue;
        }
        if (auto slash = target.rfind('/'); slash != std::string::npos) {
            makeFolders(target.substr(0, slash + 1));
        }
        int error = writeFileAtomically(target, bytes, holdsPasswords(name) ? 0600 : 0644);
        if (error != 0) {
            report.failures.push_back(describe(name, error));
        } else {
            report.copied.push_back(name);
        }
    }
    return report;
}

}  // namespace kolu
