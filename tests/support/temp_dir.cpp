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

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
        m_old = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_old) {
        setenv(m_name, m_old->c_str(), 1);
    } else {
        unsetenv(m_name);
    }
}

namespace {
// Makes the folder (private, as the runtime folder must be) and names it.
std::string madeFolder(const TempDir& dir, const char* name) {
    std::filesystem::create_directories(dir.file(name));
    std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_all);
    return dir.file(name);
}
}  // namespace

ScopedXdg::ScopedXdg(const TempDir& dir)
    : m_config("XDG_CONFIG_HOME", madeFolder(dir, "config")),
      m_data("XDG_DATA_HOME", madeFolder(dir, "data")),
      m_runtime("XDG_RUNTIME_DIR", madeFolder(dir, "runtime")) {}

}  // namespace kolu::test
