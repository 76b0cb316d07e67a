// The per-server login file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "connection/server_logins.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/fake_irc_server.h"  // printable
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"

namespace kolu {

void PrintTo(const SaslLogin& login, std::ostream* out) {
    *out << "{" << toUtf8(login.mechanism) << ", " << test::printable(toUtf8(login.account)) << ", "
         << test::printable(toUtf8(login.password)) << ", " << test::printable(login.certFile)
         << ", " << test::printable(login.keyFile) << ", "
         << (login.required ? "required" : "optional") << "}";
}

namespace {

SaslLogin plain(std::u16string account, std::u16string password, bool required = false) {
    return SaslLogin{u"PLAIN", std::move(account), std::move(password), "", "", required};
}

class ServerLoginsFile : public ::testing::Test {
  protected:
    std::string path() const { return dir.file(ServerLogins::kFileName); }
    std::size_t lineCount() const {
        const std::string text = dir.read(ServerLogins::kFileName);
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    test::TempDir dir;
    std::vector<std::u16string> reports;
    ServerLogins logins{path(), [this](std::u16string_view text) { reports.emplace_back(text); }};
};

TEST_F(ServerLoginsFile, ValuesOfAnyCharactersComeBackAsSetOneLineAHostInAPrivateFile) {
    EXPECT_EQ(logins.find(u"irc.example.org"), std::nullopt);  // no file: no logins
    EXPECT_EQ(logins.remove(u"irc.example.org"), 0);
    EXPECT_FALSE(fileExists(path()));  // forgetting nothing writes nothing

    const SaslLogin awkward{u"SCRAM-SHA-256",
                            u"n\u00e4me\twith\ttabs",
                            u"pa\\ss\nword\r\u20ac\U0001F511 \\t",
                            "/home/me/cert\tdir/c.pem",
                            std::string("/keys/\\n\0odd", 13),
                            true};
    const SaslLogin external{u"EXTERNAL", u"", u"", "/c.pem", "/k.pem", false};
    ASSERT_EQ(logins.set(u"irc.example.org", awkward), 0);
    ASSERT_EQ(logins.set(u"\u00fcber.example", external), 0);
    ASSERT_EQ(logins.set(u"third.example", plain(u"me", u"pw")), 0);
    EXPECT_EQ(lineCount(), 3u);
    EXPECT_EQ(dir.mode(ServerLogins::kFileName), 0600u);
    EXPECT_EQ(logins.find(u"irc.example.org"), awkward);
    EXPECT_EQ(logins.find(u"\u00fcber.example"), external);
    EXPECT_EQ(logins.find(u"IRC.example.org"), std::nullopt);  // the key is the host as written
    // Another store reading the same file agrees: nothing lives only in memory.
    EXPECT_EQ(ServerLogins(path()).find(u"third.example"), plain(u"me", u"pw"));

    // Replacing keeps the host's place; removing leaves the others.
    ASSERT_EQ(logins.set(u"irc.example.org", plain(u"new", u"pw2", true)), 0);
    ASSERT_EQ(logins.remove(u"\u00fcber.example"), 0);
    EXPECT_EQ(lineCount(), 2u);
    EXPECT_EQ(dir.read(ServerLogins::kFileName).rfind("irc.example.org\t", 0), 0u);
    EXPECT_EQ(logins.find(u"irc.example.org"), plain(u"new", u"pw2", true));
    EXPECT_EQ(logins.find(u"\u00fcber.example"), std::nullopt);
    EXPECT_EQ(logins.find(u"third.example"), plain(u"me", u"pw"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(ServerLoginsFile, WhatCannotBeStoredIsRefusedAndAFailedWriteKeepsTheOldFile) {
    ASSERT_EQ(logins.set(u"irc.example.org", plain(u"me", u"pw")), 0);
    const std::string before = dir.read(ServerLogins::kFileName);
    EXPECT_EQ(logins.set(u"", plain(u"me", u"pw")), EINVAL);
    EXPECT_EQ(logins.set(u"irc.example.org", SaslLogin{u"LOGIN", u"me", u"pw", "", "", false}),
              EINVAL);
    {
        test::FileSizeLimit full(8);
        ASSERT_TRUE(full.set());
        EXPECT_NE(logins.set(u"irc.example.org", plain(u"someone else", u"pw")), 0);
    }
    EXPECT_EQ(dir.read(ServerLogins::kFileName), before);

    // A file too large to be ours is neither read nor replaced.
    const std::string huge = before + std::string(ServerLogins::kFileLimit, '#');
    ASSERT_EQ(writeFileAtomically(path(), huge, 0600), 0);
    EXPECT_EQ(logins.find(u"irc.example.org"), std::nullopt);
    EXPECT_EQ(logins.set(u"other.example", plain(u"me", u"pw")), EFBIG);
    EXPECT_EQ(dir.read(ServerLogins::kFileName), huge);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(u"could not be read"), std::u16string::npos);
}

TEST_F(ServerLoginsFile, DamagedLinesAreSkippedReportedOnceAndWrittenBackAsTheyWere) {
    const std::string damaged[] = {
        "short.example\tPLAIN\tme\tpw",                // too few columns
        "long.example\tPLAIN\tme\tpw\t\t\t0\textra",   // too many
        "escape.example\tPLAIN\tm\\e\tpw\t\t\t0",      // an escape never written
        "end.example\tPLAIN\tme\tpw\t\t\t0\\",         // a lone escape at the end
        "mech.example\tLOGIN\tme\tpw\t\t\t0",          // no such mechanism
        "flag.example\tPLAIN\tme\tpw\t\t\tyes",        // required is 0 or 1
        "bytes.example\tPLAIN\tm\xff\xfe\tpw\t\t\t0",  // not UTF-8
        "\tPLAIN\tme\tpw\t\t\t0",                      // no host
    };
    std::string text = "good.example\tPLAIN\tme\tpw\t\t\t1\r\n\n";
    for (const std::string& line : damaged) {
        text += line + "\n";
    }
    text += "last.example\tEXTERNAL\t\t\t/c.pem\t/k.pem\t0";  // no line end
    ASSERT_EQ(writeFileAtomically(path(), text, 0600), 0);

    EXPECT_EQ(logins.find(u"good.example"), plain(u"me", u"pw", true));
    EXPECT_EQ(logins.find(u"last.example"),
              (SaslLogin{u"EXTERNAL", u"", u"", "/c.pem", "/k.pem", false}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(u"8 unreadable lines"), std::u16string::npos) << toUtf8(reports[0]);

    // Hand-made lines survive a rewrite, and a line set for their host is added beside them.
    ASSERT_EQ(logins.set(u"mech.example", plain(u"fixed", u"pw")), 0);
    ASSERT_EQ(logins.remove(u"good.example"), 0);
    const std::string after = dir.read(ServerLogins::kFileName);
    for (const std::string& line : damaged) {
        EXPECT_NE(after.find(line + "\n"), std::string::npos) << test::printable(line);
    }
    EXPECT_EQ(logins.find(u"mech.example"), plain(u"fixed", u"pw"));
    EXPECT_EQ(reports.size(), 1u);
}

}  // namespace
}  // namespace kolu
