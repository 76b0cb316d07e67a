#pragma once
// A fresh temporary folder per test, removed afterwards. ScopedXdg points the settings and
// data folders there so no test touches the user's files.
#include <optional>
#include <string>

namespace kolu::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }  // ends in '/'
    std::string file(const std::string& name) const { return m_path + name; }

  private:
    std::string m_path;
};

// Sets an environment variable for the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class ScopedXdg {
  public:
    explicit ScopedXdg(const TempDir& dir);

  private:
    ScopedEnv m_config, m_data, m_runtime;
};

}  // namespace kolu::test
