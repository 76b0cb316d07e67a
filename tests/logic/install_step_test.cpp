#include <gtest/gtest.h>

#include <sys/stat.h>
#include <map>

#include "platform/files.h"
#include "settings/install_step.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

class InstallStep : public ::testing::Test {
  protected:
    std::string data() const { return env.dir.path() + "data/"; }
    InstallReport run() {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : shipped) {
            names.push_back(name);
        }
        return runInstallStep(env.store, data(), names,
                              [this](const std::string& name, std::string& bytes) {
                                  auto it = shipped.find(name);
                                  if (it == shipped.end()) {
                                      return false;
                                  }
                                  bytes = it->second;
                                  return true;
                              });
    }
    std::map<std::string, std::string> shipped{
        {"servers.txt", "list\r\n"}, {"join.wav", "RIFF"}, {"help/help.html", "<html>"}};
    test::SettingsEnv env;
};

TEST_F(InstallStep, FirstStartCreatesFoldersValuesAndFiles) {
    InstallReport report = run();
    EXPECT_TRUE(report.failures.empty());
    EXPECT_TRUE(report.wroteInstallDir);
    EXPECT_TRUE(report.wroteDictPath);
    EXPECT_EQ(report.copied.size(), 3u);
    EXPECT_EQ(env.settings.CzytajInstallDir(), fromUtf8(data()));
    EXPECT_EQ(env.settings.CzytajDictPath(), fromUtf8(data()));
    std::string bytes;
    ASSERT_EQ(readWholeFile(data() + "help/help.html", bytes), 0);
    EXPECT_EQ(bytes, "<html>");
    struct stat info {};
    ASSERT_EQ(stat((data() + "servers.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // it holds passwords
    // The settings key exists but is empty, so the first run fills it.
    EXPECT_FALSE(env.hasValue(kSettingsKey, u"server"));
    env.settings.RegTworzKlucz();
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 0);
}

TEST_F(InstallStep, ASecondStartKeepsTheUsersFilesAndValues) {
    run();
    writeFileAtomically(data() + "servers.txt", "mine\r\n");
    env.putString(kInstallKey, u"InstallDir", u"/somewhere/else/");
    std::remove((data() + "join.wav").c_str());

    InstallReport report = run();
    EXPECT_FALSE(report.wroteInstallDir);
    EXPECT_FALSE(report.wroteDictPath);
    EXPECT_EQ(report.copied, std::vector<std::string>{"join.wav"});
    std::string bytes;
    readWholeFile(data() + "servers.txt", bytes);
    EXPECT_EQ(bytes, "mine\r\n");
    EXPECT_EQ(env.settings.CzytajInstallDir(), u"/somewhere/else/");
}

TEST_F(InstallStep, AMissingResourceIsReportedAndTheRestIsCopied) {
    shipped.erase("join.wav");
    std::vector<std::string> names{"join.wav", "servers.txt"};
    InstallReport report = runInstallStep(env.store, data(), names,
                                          [this](const std::string& name, std::string& bytes) {
                                              auto it = shipped.find(name);
                                              if (it == shipped.end()) {
                                                  return false;
                                              }
                                              bytes = it->second;
                                              return true;
                                          });
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].find("join.wav"), std::string::npos);
    EXPECT_EQ(report.copied, std::vector<std::string>{"servers.txt"});
}

}  // namespace
}  // namespace kolu
