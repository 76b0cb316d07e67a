#pragma once
// What an installer does before the client's first start: the data folder, the
// (empty) settings key with the installation folder and dictionary folder, and
// the shipped defaults (server list, sounds, pictures, help) that are missing.
// Run at every start; it only adds what is not there yet.
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace kolu {

struct InstallReport {
    bool wroteInstallDir = false;
    bool wroteDictPath = false;
    std::vector<std::string> copied;
    // "name: reason" for each step that failed.
    std::vector<std::string> failures;
};

// Reads a shipped default's bytes by its relative name ("servers.txt", "help/help.html").
using ShippedFileReader = std::function<bool(const std::string& name, std::string& bytes)>;

// `dataFolder` ends in '/'.
InstallReport runInstallStep(RegistryStore& store, const std::string& dataFolder,
                             const std::vector<std::string>& shippedNames,
                             const ShippedFileReader& readShipped);

}  // namespace kolu
