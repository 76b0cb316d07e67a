// The settings store's file: private mode, edits by hand picked up by the next
// write at once and by reads after the recheck time, an unparsable file kept aside untouched, and commits that fail or crash
// half-way leaving the previous file whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "platform/files.h"
#include "platform/registry.h"
#include "tests/platform/registry_test_support.h"

namespace kolu {
namespace {

using namespace std::literals;
using test::FailpointGuard;
using test::kSettingsKey;
using test::RegistryStoreTest;
using test::slurp;
using test::spit;
using test::wide;

// Files in the store's folder other than the store itself (temporary or kept files).
std::vector<std::string> strayFiles(const std::string& storePath) {
    std::vector<std::string> names;
    const std::filesystem::path store(storePath);
    for (const auto& entry : std::filesystem::directory_iterator(store.parent_path())) {
        if (entry.path() != store) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

TEST_F(RegistryStoreTest, TheFileIsCreatedPrivateInANewFolder) {
    RegistryStore store(m_path);
    EXPECT_FALSE(std::filesystem::exists(m_path)) << "nothing is written before a commit";
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_TRUE(strayFiles(m_path).empty());
    EXPECT_EQ(slurp(m_path).find(";"), 0u) << "starts with the comment explaining the format";
}

TEST_F(RegistryStoreTest, AnEditByHandIsSeenAtTheNextOpen) {
    RegistryStore store(m_path, 0ms);  // looks at the file at every open
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
    ASSERT_EQ(put(store, kSettingsKey, u"server", kRegDword, "\0\0\0\0"s), kErrorSuccess);
    RegKey held;
    ASSERT_EQ(store.openKey(kSettingsKey, held), kErrorSuccess);

    // In place (same inode), as many editors save.
    std::string text = slurp(m_path);
    replaceAll(text, "\"kolu42\"", "\"edited-by-hand\"");
    spit(m_path, text + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"x\"=dword:00000007\n");
    EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"edited-by-hand"));
    EXPECT_EQ(get(store, u"SOFTWARE\\Other", u"x").bytes, "\7\0\0\0"s);
    EXPECT_EQ(get(store, held, u"nick").bytes, wide(u"edited-by-hand")) << "an open key follows";

    // Replaced by a new file, the settings key gone.
    const std::string other = m_path + ".new";
    spit(other, "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"x\"=dword:00000008\n");
    ASSERT_EQ(std::rename(other.c_str(), m_path.c_str()), 0);
    EXPECT_EQ(get(store, u"SOFTWARE\\Other", u"x").bytes, "\10\0\0\0"s);
    EXPECT_EQ(get(store, kSettingsKey, u"nick").result, kErrorFileNotFound);
    EXPECT_EQ(get(store, held, u"nick").result, kErrorFileNotFound);
    EXPECT_EQ(store.setValue(held, u"nick", kRegSz, "\0\0", 2), kErrorFileNotFound);
    EXPECT_EQ(store.closeKey(held), kErrorSuccess);

    // Deleted: an empty store.
    ASSERT_EQ(std::remove(m_path.c_str()), 0);
    EXPECT_EQ(get(store, u"SOFTWARE\\Other", u"x").result, kErrorFileNotFound);
}

TEST_F(RegistryStoreTest, WritesLookAtTheFileFirstAndReadsOnceTheRecheckTimeHasPassed) {
    {
        RegistryStore store(m_path, 1h);
        ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
        RegKey writer;
        ASSERT_EQ(store.openKey(kSettingsKey, writer), kErrorSuccess);
        std::string text = slurp(m_path);
        replaceAll(text, "\"kolu42\"", "\"edited-by-hand\"");
        spit(m_path, text);
        ASSERT_EQ(store.setValue(writer, u"server", kRegDword, "\1\0\0\0", 4), kErrorSuccess);
        ASSERT_EQ(store.closeKey(writer), kErrorSuccess);
    }
    RegistryStore other(m_path);
    EXPECT_EQ(get(other, kSettingsKey, u"nick").bytes, wide(u"edited-by-hand"));

    RegistryStore store(m_path, 20ms);
    std::string text = slurp(m_path);
    replaceAll(text, "\"edited-by-hand\"", "\"again\"");
    spit(m_path, text);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"again"));
}

TEST_F(RegistryStoreTest, WritesNotYetCommittedWinOverAnEditByHand) {
    RegistryStore store(m_path);
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"before")), kErrorSuccess);
    RegKey writer;
    ASSERT_EQ(store.openKey(kSettingsKey, writer), kErrorSuccess);
    ASSERT_EQ(store.setValue(writer, u"nick", kRegSz, wide(u"mine").data(), 10), kErrorSuccess);
    std::string text = slurp(m_path);
    replaceAll(text, "\"before\"", "\"theirs, longer\"");
    spit(m_path, text);
    // Re-reading now would lose the write made through `writer`.
    EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"mine"));
    ASSERT_EQ(store.closeKey(writer), kErrorSuccess);
    RegistryStore other(m_path);
    EXPECT_EQ(get(other, kSettingsKey, u"nick").bytes, wide(u"mine"));
}

TEST_F(RegistryStoreTest, AnUnparsableFileIsKeptAsideAndAFreshStoreUsed) {
    const std::string broken = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n\"nick\"=what\n";
    for (int older = 0; older < 3; ++older) {
        SCOPED_TRACE(older);
        std::filesystem::remove_all(std::filesystem::path(m_path).parent_path());
        std::filesystem::create_directories(std::filesystem::path(m_path).parent_path());
        for (int i = 0; i < older; ++i) {
            spit(m_path + (i == 0 ? ".bad" : ".bad." + std::to_string(i)), "older");
        }
        spit(m_path, broken);
        const std::string expected =
            m_path + (older == 0 ? ".bad" : ".bad." + std::to_string(older));

        RegistryStore store(m_path);
        EXPECT_EQ(store.corruptFileKeptAs(), expected);
        EXPECT_EQ(slurp(expected), broken);
        EXPECT_FALSE(std::filesystem::exists(m_path));
        EXPECT_EQ(get(store, kSettingsKey, u"nick").result, kErrorFileNotFound);
        EXPECT_EQ(slurp(m_path + ".bad"), older == 0 ? broken : "older");

        ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"fresh")), kErrorSuccess);
        RegistryStore reopened(m_path);
        EXPECT_EQ(reopened.corruptFileKeptAs(), "");
        EXPECT_EQ(get(reopened, kSettingsKey, u"nick").bytes, wide(u"fresh"));
        EXPECT_EQ(slurp(expected), broken);
    }
}

int g_injectedError = 0;

TEST_F(RegistryStoreTest, AFailedCommitReportsItAndLeavesTheOldFile) {
    struct Case {
        int error;
        long expected;
    };
    for (const Case c : {Case{ENOSPC, kErrorDiskFull}, Case{EDQUOT, kErrorDiskFull},
                         Case{EACCES, kErrorAccessDenied}, Case{EROFS, kErrorAccessDenied},
                         Case{EIO, kErrorWriteFault}}) {
        SCOPED_TRACE(c.error);
        RegistryStore store(m_path);
        ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
        const std::string before = slurp(m_path);
        {
            g_injectedError = c.error;
            FailpointGuard failing([](std::size_t) { return g_injectedError; });
            EXPECT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"new")), c.expected);
        }
        EXPECT_EQ(slurp(m_path), before);
        EXPECT_TRUE(strayFiles(m_path).empty()) << "the temporary file is removed";
        EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"new")) << "memory keeps it";
        // The next write through a key commits everything still unsaved.
        ASSERT_EQ(put(store, kSettingsKey, u"other", kRegDword, "\1\0\0\0"s), kErrorSuccess);
        RegistryStore reopened(m_path);
        EXPECT_EQ(get(reopened, kSettingsKey, u"nick").bytes, wide(u"new"));
    }
}

TEST_F(RegistryStoreTest, ACrashDuringACommitLeavesTheOldStore) {
    {
        RegistryStore store(m_path);
        ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
    }
    const std::string before = slurp(m_path);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Dies after writing part of the temporary file, as a power cut would.
        registry_detail::g_afterPartialWrite = [](std::size_t written) -> int {
            ::_exit(written > 0 ? 42 : 43);
        };
        RegistryStore store(m_path);
        put(store, kSettingsKey, u"nick", kRegSz, wide(std::u16string(500, u'n')));
        ::_exit(1);  // the commit went through: the failpoint was never reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 42);

    EXPECT_EQ(slurp(m_path), before);
    const std::string partial = m_path + ".tmp-" + std::to_string(child);
    EXPECT_GT(std::filesystem::file_size(partial), 0u) << "the child was mid-write";
    const std::string running = m_path + ".tmp-" + std::to_string(::getppid());
    ASSERT_EQ(writeFileAtomically(running, "another client is saving"), 0);
    RegistryStore store(m_path);
    EXPECT_FALSE(std::filesystem::exists(partial)) << "the next start removes the left-over";
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_EQ(store.corruptFileKeptAs(), "");
    EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"old"));
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"after")), kErrorSuccess);
    EXPECT_EQ(get(store, kSettingsKey, u"nick").bytes, wide(u"after"));
}

}  // namespace
}  // namespace kolu
