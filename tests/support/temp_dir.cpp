#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kolu::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kolu-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

namespace {
bool saveEnv(const char* name, std::string& out) {
    const char* value = std::getenv(name);
    if (value) {
        out = value;
    }
    return value != nullptr;
}
void restoreEnv(const char* name, bool had, const std::string& value) {
    if (had) {
        setenv(name, value.c_str(), 1);
    } else {
        unsetenv(name);
    }
}
}  // namespace

ScopedEnv::ScopedEnv(const char* name, const std::string& value)
    : m_name(name), m_had(saveEnv(name, m_old)) {
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    restoreEnv(m_name, m_had, m_old);
}

ScopedXdg::ScopedXdg(const TempDir& dir)
    : m_hadConfig(saveEnv("XDG_CONFIG_HOME", m_oldConfig)),
      m_hadData(saveEnv("XDG_DATA_HOME", m_oldData)),
      m_hadRuntime(saveEnv("XDG_RUNTIME_DIR", m_oldRuntime)) {
    std::filesystem::create_directories(dir.path() + "config");
    std::filesystem::create_directories(dir.path() + "data");
    std::filesystem::create_directories(dir.path() + "runtime");
    std::filesystem::permissions(dir.path() + "runtime", std::filesystem::perms::owner_all);
    setenv("XDG_CONFIG_HOME", (dir.path() + "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.path() + "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir.path() + "runtime").c_str(), 1);
}

ScopedXdg::~ScopedXdg() {
    restoreEnv("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
    restoreEnv("XDG_DATA_HOME", m_hadData, m_oldData);
    restoreEnv("XDG_RUNTIME_DIR", m_hadRuntime, m_oldRuntime);
}

}  // namespace kolu::test
