#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace kolu {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder() {
    std::string home = env("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid())) {
            home = entry->pw_dir;
        }
    }
    return home.empty() ? std::string("/tmp") : home;
}

// An XDG variable must hold an absolute path to count.
std::string xdgFolder(const char* variable, const char* fallbackUnderHome) {
    std::string base = env(variable);
    if (base.empty() || base.front() != '/') {
        base = homeFolder() + fallbackUnderHome;
    }
    if (base.back() != '/') {
        base += '/';
    }
    return base + "kolu/";
}

}  // namespace

std::string configFolder() {
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string dataFolder() {
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string registryFile() {
    return configFolder() + "registry";
}

std::string runtimeFolder() {
    return env("XDG_RUNTIME_DIR");
}

std::string loginName() {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name && *entry->pw_name) {
        return entry->pw_name;
    }
    std::string user = env("USER");
    return user.empty() ? std::string("user") : user;
}

}  // namespace kolu
