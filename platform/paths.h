#pragma once
// Where the client keeps its files on Linux (XDG base directories).
#include <string>

namespace kolu {

// $XDG_CONFIG_HOME/kolu/ (default ~/.config/kolu/), ending in '/'.
std::string configFolder();
// $XDG_DATA_HOME/kolu/ (default ~/.local/share/kolu/), ending in '/'.
std::string dataFolder();
// The settings store's file.
std::string registryFile();
// $XDG_RUNTIME_DIR, or "" when unset.
std::string runtimeFolder();
// The user's login name ("user" when it can't be found).
std::string loginName();

}  // namespace kolu
