#pragma once
// A fresh temporary folder per test, removed afterwards. ScopedXdg points the settings and
// data folders there so no test touches the user's files.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kolu::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kolu-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = pattern + "/";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }  // ends in '/'
    std::string file(const std::string& name) const { return m_path + name; }
    // A file's bytes; "" when it can't be read.
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    unsigned mode(const std::string& name) const {  // the permission bits
        return static_cast<unsigned>(std::filesystem::status(file(name)).permissions());
    }
    // Every name in the folder, or in a folder inside it, sorted: shows what was left behind.
    std::vector<std::string> names(const std::string& folder = "") const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(file(folder))) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

  private:
    std::string m_path;
};

// Sets an environment variable for the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class ScopedXdg {
  public:
    explicit ScopedXdg(const TempDir& dir)
        : m_config("XDG_CONFIG_HOME", madeFolder(dir, "config")),
          m_data("XDG_DATA_HOME", madeFolder(dir, "data")),
          m_runtime("XDG_RUNTIME_DIR", madeFolder(dir, "runtime")) {}

  private:
    // Makes the folder (private, as the runtime folder must be) and names it.
    static std::string madeFolder(const TempDir& dir, const char* name) {
        std::filesystem::create_directories(dir.file(name));
        std::filesystem::permissions(dir.file(name), std::filesystem::perms::owner_all);
        return dir.file(name);
    }

    ScopedEnv m_config, m_data, m_runtime;
};

}  // namespace kolu::test
