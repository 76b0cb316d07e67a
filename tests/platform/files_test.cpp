#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/text.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

class FilesTest : public ::testing::Test {
  protected:
    using Names = std::vector<std::string>;

    test::TempDir dir;
};

TEST_F(FilesTest, OpenModesCreateKeepOrTruncate) {
    struct Case {
        OpenMode mode;
        bool existing;
        const char* after;  // null: open fails with ENOENT and no file appears
    } cases[] = {
        // OpenAlways, which creates or keeps, is the log and dictionary tests'.
        {OpenMode::CreateAlways, false, ""},      {OpenMode::CreateAlways, true, ""},
        {OpenMode::OpenExisting, false, nullptr}, {OpenMode::OpenExisting, true, "old"},
        {OpenMode::ReadOnly, false, nullptr},     {OpenMode::ReadOnly, true, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " existing " << c.existing);
        std::filesystem::remove(dir.file("a"));
        if (c.existing) {
            ASSERT_EQ(writeFileAtomically(dir.file("a"), "old"), 0);
        }
        File file;
        EXPECT_EQ(File::open(dir.file("a"), c.mode, file), c.after ? 0 : ENOENT);
        EXPECT_EQ(file.close(), 0);
        EXPECT_EQ(fileExists(dir.file("a")), c.after != nullptr);
        EXPECT_EQ(dir.read("a"), c.after ? c.after : "");
    }
}

TEST_F(FilesTest, ReadsWritesAndSeeks) {
    File file;
    ASSERT_EQ(File::open(dir.file("log"), OpenMode::OpenAlways, file, 0600), 0);
    EXPECT_EQ(dir.mode("log"), 0600u);
    ASSERT_EQ(file.write("hello", 5), 0);
    std::int64_t position = -1;
    EXPECT_EQ(file.seek(1, 0, &position), 0);
    EXPECT_EQ(position, 1);
    char buffer[16] = {};
    std::size_t got = 99;
    EXPECT_EQ(file.read(buffer, sizeof buffer, got), 0);
    EXPECT_EQ(std::string(buffer, got), "ello");
    EXPECT_EQ(file.read(buffer, sizeof buffer, got), 0);  // at the end: success, nothing read
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(file.seek(0, 7), EINVAL);
    EXPECT_EQ(file.seek(-100, 0), EINVAL);
    std::int64_t size = -1;  // appending at the end: the log tests
    EXPECT_EQ(file.size(size), 0);
    EXPECT_EQ(size, 5);

    ASSERT_EQ(File::open(dir.file("log"), OpenMode::ReadOnly, file), 0);
    EXPECT_EQ(file.write("x", 1), EBADF);
    File moved(std::move(file));
    EXPECT_EQ(moved.read(buffer, 2, got), 0);
    EXPECT_EQ(file.read(buffer, 1, got), EBADF);
    EXPECT_EQ(got, 0u);
}

TEST_F(FilesTest, FoldersFifosAndMissingFilesAreRefused) {
    File file;
    EXPECT_EQ(File::open(dir.path(), OpenMode::ReadOnly, file), EISDIR);
    EXPECT_EQ(File::open(dir.file("no/such/file"), OpenMode::OpenAlways, file), ENOENT);
    EXPECT_FALSE(fileExists(dir.path()));
    // A FIFO must not block the open.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(File::open(dir.file("fifo"), OpenMode::ReadOnly, file), EINVAL);
    std::string out = "kept";
    EXPECT_EQ(readWholeFile(dir.file("fifo"), out), EINVAL);
    EXPECT_EQ(readWholeFile(dir.file("missing"), out), ENOENT);
    EXPECT_EQ(out, "kept");
}

TEST_F(FilesTest, AtomicWritesReplaceWholeOrLeaveEverythingAsItWas) {
    ASSERT_EQ(writeFileAtomically(dir.file("registry"), "first, longer", 0600), 0);
    ASSERT_EQ(writeFileAtomically(dir.file("registry"), "second", 0600), 0);
    EXPECT_EQ(dir.read("registry"), "second");
    EXPECT_EQ(dir.mode("registry"), 0600u);

    // The target is a folder: the rename fails after the data was written.
    ASSERT_EQ(makeFolders(dir.file("target")), 0);
    EXPECT_EQ(writeFileAtomically(dir.file("target"), "new"), EISDIR);
    EXPECT_EQ(writeFileAtomically(dir.file("missing/file"), "x"), ENOENT);
    EXPECT_EQ(writeFileAtomically("", "x"), ENOENT);
    EXPECT_EQ(dir.names(), (Names{"registry", "target"}));
}

TEST_F(FilesTest, StaleTemporariesGoOnlyWhenTheirWriterIsGone) {
    // A writer killed after staging its file: no destructor runs.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StagedFile staged;
        ::_exit(staged.stage(dir.file("servers.txt"), "half") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // A running writer's file and files of other forms stay.
    Names kept = {".kolu-" + std::to_string(::getppid()) + "-0.tmp",
                  ".kolu-" + std::to_string(child) + "-1.tmp.old", ".kolu-x-1.tmp", "notes.tmp"};
    for (const std::string& name : kept) {
        ASSERT_EQ(writeFileAtomically(dir.file(name), "x"), 0);
    }
    EXPECT_EQ(removeStaleTemporaries(dir.path(), atomicWriterOf), 1);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(dir.names(), kept);
}

// Overwriting and a missing source: the dictionary's backup tests.
TEST_F(FilesTest, CopyKeepsPermissionsAndRefusesToOverwriteWhenAsked) {
    ASSERT_EQ(writeFileAtomically(dir.file("default"), "list", 0640), 0);
    EXPECT_EQ(copyFile(dir.file("default"), dir.file("servers"), true), 0);
    EXPECT_EQ(dir.mode("servers"), 0640u);
    ASSERT_EQ(writeFileAtomically(dir.file("servers"), "edited"), 0);
    EXPECT_EQ(copyFile(dir.file("default"), dir.file("servers"), true), EEXIST);
    EXPECT_EQ(copyFile(dir.file("default"), dir.file("no/folder"), false), ENOENT);
    EXPECT_EQ(dir.read("servers"), "edited");
    EXPECT_EQ(dir.names(), (Names{"default", "servers"}));
}

TEST_F(FilesTest, MakeFoldersCreatesPrivateParents) {
    EXPECT_EQ(makeFolders(dir.file("a/b//c/")), 0);
    for (const char* made : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(dir.mode(made), 0700u) << made;
    }
    ASSERT_EQ(writeFileAtomically(dir.file("plain"), "x"), 0);
    EXPECT_EQ(makeFolders(dir.file("plain/sub")), ENOTDIR);
    EXPECT_EQ(makeFolders(""), ENOENT);
}

TEST_F(FilesTest, ListFolderMatchesWildcardsByCharacterIgnoringCase) {
    const std::string lod = toUtf8(u"\u0141\u00F3d.bmp");  // two characters, four bytes
    for (const std::string& name : Names{"join.wav", "PART.WAV", "quit.wave", "wav", lod}) {
        ASSERT_EQ(writeFileAtomically(dir.file(name), "x"), 0);
    }
    ASSERT_EQ(makeFolders(dir.file("folder.wav")), 0);
    ASSERT_EQ(::symlink("join.wav", dir.file("link.wav").c_str()), 0);
    ASSERT_EQ(::symlink("gone", dir.file("dangling.wav").c_str()), 0);
    const std::pair<const char*, Names> cases[] = {
        {"*.WaV", {"PART.WAV", "join.wav", "link.wav"}},
        {"??d.bmp", {lod}},
        {"*.*", {"PART.WAV", "join.wav", "link.wav", "quit.wave", "wav", lod}},
        {"????d.bmp", {}},
    };
    for (const auto& [pattern, expected] : cases) {
        Names names{"stale"};
        EXPECT_EQ(listFolder(dir.path(), pattern, names), expected.empty() ? ENOENT : 0);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, expected) << pattern;
    }
    Names names;
    EXPECT_EQ(listFolder(dir.file("missing"), "*", names), ENOENT);
}

}  // namespace
}  // namespace kolu
