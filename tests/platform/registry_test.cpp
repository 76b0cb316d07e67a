#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/registry_internal.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wide_bytes.h"

namespace kolu {
namespace {

using namespace std::literals;

constexpr std::u16string_view kKey = u"SOFTWARE\\Marvoline\\Kolu";

using test::wide;

struct ReadValue {
    long result = -1;
    std::uint32_t type = 0;
    std::string bytes;
};

class RegistryStoreTest : public ::testing::Test {
  protected:
    // Writes one value through its own key; returns what closing the key returned.
    static long put(RegistryStore& store, std::u16string_view key, std::u16string_view name,
                    std::uint32_t type, const std::string& bytes) {
        RegKey handle;
        EXPECT_EQ(store.createKey(key, handle), kErrorSuccess);
        EXPECT_EQ(store.setValue(handle, name, type, bytes.data(),
                                 static_cast<std::uint32_t>(bytes.size())),
                  kErrorSuccess);
        return store.closeKey(handle);
    }
    static ReadValue get(RegistryStore& store, RegKey handle, std::u16string_view name) {
        ReadValue read;
        std::uint32_t size = 0;
        read.result = store.queryValue(handle, name, &read.type, nullptr, &size);
        if (read.result == kErrorSuccess) {
            read.bytes.resize(size);
            read.result = store.queryValue(handle, name, nullptr, read.bytes.data(), &size);
        }
        return read;
    }
    static ReadValue get(RegistryStore& store, std::u16string_view key, std::u16string_view name) {
        RegKey handle;
        ReadValue read;
        read.result = store.openKey(key, handle);
        if (read.result == kErrorSuccess) {
            read = get(store, handle, name);
            EXPECT_EQ(store.closeKey(handle), kErrorSuccess);
        }
        return read;
    }
    ino_t inode() const {
        struct stat info {};
        EXPECT_EQ(::stat(m_path.c_str(), &info), 0);
        return info.st_ino;
    }
    std::string text() const { return m_dir.read("kolu/registry"); }
    // Rewrites the file in place (same inode), as many editors save.
    void edit(std::string_view from, std::string_view to) const {
        std::string content = text();
        content.replace(content.find(from), from.size(), to);
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << content;
    }
    test::TempDir m_dir;
    const std::string m_path = m_dir.file("kolu/registry");  // its folder does not exist yet
};

// Each kind of value's text form and read-back is pinned by the format's own tests; numbers
// and plain strings by the settings tests.
TEST_F(RegistryStoreTest, ValuesRoundTripThroughAPrivateFileAndNamesIgnoreCaseKeepingSpelling) {
    const std::u16string sounds = u"SOFTWARE\\Marvoline\\Kolu\\sounds";
    {
        RegistryStore store(m_path);
        RegKey key;
        bool created = false;
        ASSERT_EQ(store.createKey(sounds, key, &created), kErrorSuccess);
        EXPECT_TRUE(created);
        ASSERT_EQ(store.closeKey(key), kErrorSuccess);
        ASSERT_EQ(store.createKey(u"software\\MARVOLINE", key, &created), kErrorSuccess);
        EXPECT_FALSE(created);
        ASSERT_EQ(store.closeKey(key), kErrorSuccess);
        ASSERT_EQ(put(store, u"\\SOFTWARE\\Marvoline\\Kolu\\", u"NickName", kRegSz, wide(u"a")),
                  kErrorSuccess);
        ASSERT_EQ(put(store, kKey, u"\u00C9t\u00E9", kRegDword, "\1\0\0\0"s), kErrorSuccess);
        ASSERT_EQ(put(store, u"software\\MARVOLINE\\kolu", u"nICKnAME", kRegSz, wide(u"b")),
                  kErrorSuccess);
    }
    EXPECT_EQ(m_dir.mode("kolu/registry"), 0600u);
    RegistryStore reopened(m_path);
    EXPECT_EQ(get(reopened, u"Software\\Marvoline\\KOLU\\", u"nickname").bytes, wide(u"b"));
    EXPECT_EQ(get(reopened, kKey, u"\u00E9T\u00C9").result, kErrorSuccess);  // Latin-1 folds too
    EXPECT_NE(text().find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n\"NickName\"=\"b\"\n"
                          "\"\xC3\x89t\xC3\xA9\"=dword:00000001\n\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu\\sounds]\n"),
              std::string::npos)
        << text();
}

TEST_F(RegistryStoreTest, ResultCodes) {
    RegistryStore store(m_path);
    ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
    RegKey key, out;
    ASSERT_EQ(store.openKey(kKey, key), kErrorSuccess);
    std::uint32_t size = 64;
    char buffer[64];
    const std::string tooBig(registry_detail::kMaxValueBytes + 1, 'x');
    EXPECT_EQ(store.openKey(u"SOFTWARE\\Marvoline\\Kolu\\sounds", out), kErrorFileNotFound);
    EXPECT_FALSE(out) << "a failed open yields no key";
    EXPECT_EQ(store.queryValue(key, u"nope", nullptr, buffer, &size), kErrorFileNotFound);
    EXPECT_EQ(store.queryValue(key, u"nick", nullptr, buffer, nullptr), kErrorInvalidParameter);
    EXPECT_EQ(store.setValue(key, u"v", kRegBinary, nullptr, 4), kErrorInvalidParameter);
    EXPECT_EQ(store.setValue(key, u"v", kRegBinary, tooBig.data(),
                             static_cast<std::uint32_t>(tooBig.size())),
              kErrorInvalidParameter);
    EXPECT_EQ(store.createKey(u"SOFTWARE\\\\Kolu", out), kErrorInvalidParameter);
    EXPECT_EQ(store.createKey(u"SOFTWARE\\a\nb", out), kErrorInvalidParameter);
    EXPECT_EQ(store.queryValue(RegKey{}, u"nick", nullptr, nullptr, &size), kErrorInvalidHandle);

    // Too small a buffer: the needed size, the type, and the buffer left alone.
    std::uint32_t type = 0;
    size = 13;
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_EQ(store.queryValue(key, u"nick", &type, buffer, &size), kErrorMoreData);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\xAA'));
    EXPECT_EQ(store.closeKey(key), kErrorSuccess);
    EXPECT_EQ(store.closeKey(key), kErrorInvalidHandle);
    EXPECT_EQ(store.setValue(key, u"nick", kRegSz, "\0\0", 2), kErrorInvalidHandle);
}

// An uncommitted write also wins over an edit by hand made meanwhile.
TEST_F(RegistryStoreTest, WritesShowAtOnceAndReachTheFileWhenTheirKeyCloses) {
    {
        RegistryStore store(m_path, 0ms);
        ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
        const ino_t written = inode();
        // Writing what is already there does not rewrite the file.
        ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
        EXPECT_EQ(inode(), written);

        RegKey writer, reader;
        ASSERT_EQ(store.openKey(kKey, writer), kErrorSuccess);
        ASSERT_EQ(store.openKey(kKey, reader), kErrorSuccess);
        ASSERT_EQ(store.setValue(writer, u"nick", kRegSz, wide(u"new").data(), 8), kErrorSuccess);
        edit("\"old\"", "\"theirs, longer\"");
        EXPECT_EQ(get(store, kKey, u"nick").bytes, wide(u"new"));
        EXPECT_EQ(store.closeKey(reader), kErrorSuccess);
        EXPECT_NE(text().find("theirs"), std::string::npos)
            << "only the key written through commits";
        // `writer` is never closed: the store's end still writes what went through it.
    }
    RegistryStore reopened(m_path);
    EXPECT_EQ(get(reopened, kKey, u"nick").bytes, wide(u"new"));
}

TEST_F(RegistryStoreTest, WritesLookAtTheFileFirstAndReadsOnceTheRecheckTimeHasPassed) {
    {
        RegistryStore store(m_path, 1h);
        ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
        edit("\"kolu42\"", "\"edited-by-hand\"");
        ASSERT_EQ(put(store, kKey, u"server", kRegDword, "\1\0\0\0"s), kErrorSuccess);
    }
    RegistryStore store(m_path, 0ms);
    RegKey held;
    ASSERT_EQ(store.openKey(kKey, held), kErrorSuccess);
    EXPECT_EQ(get(store, held, u"nick").bytes, wide(u"edited-by-hand"));
    edit("\"edited-by-hand\"", "\"again\"");
    EXPECT_EQ(get(store, kKey, u"nick").bytes, wide(u"again"));
    EXPECT_EQ(get(store, held, u"nick").bytes, wide(u"again")) << "an open key follows";

    // Replaced by a new file without the settings key.
    std::ofstream(m_path + ".new") << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n\"x\"=dword:8\n";
    ASSERT_EQ(std::rename((m_path + ".new").c_str(), m_path.c_str()), 0);
    EXPECT_EQ(get(store, u"SOFTWARE\\Other", u"x").bytes, "\10\0\0\0"s);
    EXPECT_EQ(get(store, held, u"nick").result, kErrorFileNotFound);
    EXPECT_EQ(store.setValue(held, u"nick", kRegSz, "\0\0", 2), kErrorFileNotFound);
    EXPECT_EQ(store.closeKey(held), kErrorSuccess);

    ASSERT_EQ(std::remove(m_path.c_str()), 0);  // deleted: an empty store
    EXPECT_EQ(get(store, u"SOFTWARE\\Other", u"x").result, kErrorFileNotFound);
}

TEST_F(RegistryStoreTest, AnUnparsableFileIsKeptAsideAndAFreshStoreUsed) {
    const std::string broken = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n\"nick\"=what\n";
    std::filesystem::create_directories(m_dir.file("kolu"));
    for (const char* keptAs : {".bad", ".bad.1"}) {
        std::ofstream(m_path) << broken;
        RegistryStore store(m_path);
        EXPECT_EQ(store.corruptFileKeptAs(), m_path + keptAs);
        EXPECT_EQ(get(store, kKey, u"nick").result, kErrorFileNotFound);
        ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"fresh")), kErrorSuccess);
        RegistryStore reopened(m_path);
        EXPECT_EQ(reopened.corruptFileKeptAs(), "");
        EXPECT_EQ(get(reopened, kKey, u"nick").bytes, wide(u"fresh"));
    }
    EXPECT_EQ(m_dir.read("kolu/registry.bad"), broken);
}

TEST_F(RegistryStoreTest, AFailedCommitReportsItAndLeavesTheOldFile) {
    RegistryStore store(m_path);
    ASSERT_EQ(put(store, kKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
    const std::string before = text();
    const std::string big = wide(std::u16string(4000, u'n'));
    {
        test::FileSizeLimit limit(before.size() + 100);  // a full disk
        ASSERT_TRUE(limit.set());
        EXPECT_EQ(put(store, kKey, u"nick", kRegSz, big), kErrorDiskFull);
    }
    EXPECT_EQ(text(), before);
    EXPECT_EQ(get(store, kKey, u"nick").bytes, big) << "memory keeps it";
    // The next write through a key commits everything still unsaved.
    ASSERT_EQ(put(store, kKey, u"other", kRegDword, "\1\0\0\0"s), kErrorSuccess);
    RegistryStore reopened(m_path);
    EXPECT_EQ(get(reopened, kKey, u"nick").bytes, big);
}

// Which left-overs are a dead writer's is the files tests' to tell.
TEST_F(RegistryStoreTest, OpeningTheStoreRemovesADeadWritersTemporary) {
    std::filesystem::create_directories(m_dir.file("kolu"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    std::ofstream(m_dir.file("kolu/.kolu-" + std::to_string(child) + "-0.tmp")) << "half";
    RegistryStore store(m_path);
    EXPECT_TRUE(m_dir.names("kolu").empty());
}

}  // namespace
}  // namespace kolu
