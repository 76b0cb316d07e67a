#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

using test::TempDir;

std::string contents(const std::string& path) {
    std::string out;
    EXPECT_EQ(readWholeFile(path, out), 0) << path;
    return out;
}

unsigned permissions(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 0777;
}

// Names in the folder other than the given ones (leftover temporary files).
std::vector<std::string> otherEntries(const std::string& folder,
                                      std::initializer_list<std::string> known) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            out.push_back(name);
        }
    }
    return out;
}

TEST(File, OpenModesCreateKeepOrTruncate) {
    TempDir dir;
    const std::string path = dir.file("a.txt");
    struct Case {
        OpenMode mode;
        bool existing;
        int expectedRc;
        const char* expectedContent;  // null: the file must not exist afterwards
    } cases[] = {
        {OpenMode::OpenAlways, false, 0, ""},
        {OpenMode::OpenAlways, true, 0, "old"},
        {OpenMode::CreateAlways, false, 0, ""},
        {OpenMode::CreateAlways, true, 0, ""},
        {OpenMode::OpenExisting, false, ENOENT, nullptr},
        {OpenMode::OpenExisting, true, 0, "old"},
        {OpenMode::ReadOnly, false, ENOENT, nullptr},
        {OpenMode::ReadOnly, true, 0, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " existing " << c.existing);
        std::filesystem::remove(path);
        if (c.existing) {
            ASSERT_EQ(writeFileAtomically(path, "old"), 0);
        }
        File file;
        EXPECT_EQ(File::open(path, c.mode, file), c.expectedRc);
        EXPECT_EQ(file.isOpen(), c.expectedRc == 0);
        EXPECT_EQ(file.close(), 0);
        if (c.expectedContent) {
            EXPECT_EQ(contents(path), c.expectedContent);
        } else {
            EXPECT_FALSE(fileExists(path));
        }
    }
}

TEST(File, WritesSeeksAndReadsToTheEnd) {
    TempDir dir;
    const std::string path = dir.file("log.txt");
    File file;
    ASSERT_EQ(File::open(path, OpenMode::OpenAlways, file, 0600), 0);
    EXPECT_EQ(permissions(path), 0600u);
    ASSERT_EQ(file.write("hello", 5), 0);
    std::int64_t size = -1;
    EXPECT_EQ(file.size(size), 0);
    EXPECT_EQ(size, 5);

    std::int64_t position = -1;
    EXPECT_EQ(file.seek(1, 0, &position), 0);
    EXPECT_EQ(position, 1);
    char buffer[16] = {};
    std::size_t got = 99;
    EXPECT_EQ(file.read(buffer, 3, got), 0);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(std::string(buffer, got), "ell");
    EXPECT_EQ(file.read(buffer, sizeof buffer, got), 0);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(file.read(buffer, sizeof buffer, got), 0);  // at the end: success, nothing read
    EXPECT_EQ(got, 0u);

    EXPECT_EQ(file.seekToEnd(), 0);
    ASSERT_EQ(file.write("!", 1), 0);
    EXPECT_EQ(file.seek(-2, 1, &position), 0);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(file.seek(0, 7), EINVAL);
    EXPECT_EQ(file.seek(-100, 0), EINVAL);
    EXPECT_EQ(file.sync(), 0);
    EXPECT_EQ(file.close(), 0);
    EXPECT_EQ(contents(path), "hello!");

    // Appending later, as the logs do, keeps what was there.
    ASSERT_EQ(File::open(path, OpenMode::OpenAlways, file), 0);
    ASSERT_EQ(file.seekToEnd(), 0);
    ASSERT_EQ(file.write("\r\n", 2), 0);
    file = File();  // closed by the move
    EXPECT_EQ(contents(path), "hello!\r\n");
}

TEST(File, FailuresComeBackAsCodes) {
    TempDir dir;
    const std::string path = dir.file("r.txt");
    ASSERT_EQ(writeFileAtomically(path, "data"), 0);

    File file;
    ASSERT_EQ(File::open(path, OpenMode::ReadOnly, file), 0);
    EXPECT_EQ(file.write("x", 1), EBADF);
    file.close();
    EXPECT_EQ(contents(path), "data");

    File closed;
    std::size_t got = 1;
    char byte;
    EXPECT_EQ(closed.read(&byte, 1, got), EBADF);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(closed.write("x", 1), EBADF);
    std::int64_t size;
    EXPECT_EQ(closed.size(size), EBADF);

    EXPECT_EQ(File::open(dir.path(), OpenMode::ReadOnly, file), EISDIR);
    EXPECT_EQ(File::open(dir.path(), OpenMode::OpenAlways, file), EISDIR);
    EXPECT_EQ(File::open(dir.file("no/such/file"), OpenMode::OpenAlways, file), ENOENT);
    EXPECT_FALSE(file.isOpen());

    // A FIFO must not block the open.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(File::open(fifo, OpenMode::ReadOnly, file), EINVAL);
    std::string out = "kept";
    EXPECT_EQ(readWholeFile(fifo, out), EINVAL);
    EXPECT_EQ(out, "kept");
}

TEST(File, MoveTransfersOwnership) {
    TempDir dir;
    File a;
    ASSERT_EQ(File::open(dir.file("m"), OpenMode::CreateAlways, a), 0);
    File b(std::move(a));
    EXPECT_FALSE(a.isOpen());
    EXPECT_TRUE(b.isOpen());
    EXPECT_EQ(b.write("z", 1), 0);
    a = std::move(b);
    EXPECT_TRUE(a.isOpen());
    EXPECT_FALSE(b.isOpen());
}

TEST(ReadWholeFile, ReadsLargeAndEmptyFiles) {
    TempDir dir;
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    ASSERT_EQ(writeFileAtomically(dir.file("big"), big), 0);
    EXPECT_EQ(contents(dir.file("big")), big);
    ASSERT_EQ(writeFileAtomically(dir.file("empty"), ""), 0);
    EXPECT_EQ(contents(dir.file("empty")), "");
    std::string out = "untouched";
    EXPECT_EQ(readWholeFile(dir.file("missing"), out), ENOENT);
    EXPECT_EQ(out, "untouched");
}

TEST(WriteFileAtomically, ReplacesWholeAndAppliesTheMode) {
    TempDir dir;
    const std::string path = dir.file("registry");
    ASSERT_EQ(writeFileAtomically(path, "first", 0600), 0);
    EXPECT_EQ(contents(path), "first");
    EXPECT_EQ(permissions(path), 0600u);
    ASSERT_EQ(writeFileAtomically(path, "second, longer", 0600), 0);
    EXPECT_EQ(contents(path), "second, longer");
    EXPECT_EQ(permissions(path), 0600u);
    EXPECT_TRUE(otherEntries(dir.path(), {"registry"}).empty());

    // A relative name lands in the current folder.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(writeFileAtomically("relative.txt", "r"), 0);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(contents(dir.file("relative.txt")), "r");
}

TEST(RemoveStaleTemporaries, TakesOnlyTheFilesOfWritersThatAreGone) {
    TempDir dir;
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
    const std::vector<std::string> leftOver = otherEntries(dir.path(), {});
    ASSERT_EQ(leftOver.size(), 1u);
    // A running writer's file and files of other forms stay.
    const std::string running = ".kolu-" + std::to_string(::getppid()) + "-0.tmp";
    const std::vector<std::string> kept = {
        running, ".kolu-x-1.tmp", ".kolu-" + std::to_string(child) + "-1.tmp.old", "notes.tmp"};
    for (const std::string& name : kept) {
        ASSERT_EQ(writeFileAtomically(dir.file(name), "x"), 0);
    }
    EXPECT_EQ(removeStaleTemporaries(dir.path(), atomicWriterOf), 1);
    EXPECT_FALSE(fileExists(dir.file(leftOver[0])));
    for (const std::string& name : kept) {
        EXPECT_TRUE(fileExists(dir.file(name))) << name;
    }
}

TEST(WriteFileAtomically, FailureLeavesEverythingAsItWas) {
    TempDir dir;
    // The target is a folder: the rename fails after the data was written.
    const std::string folder = dir.file("target");
    ASSERT_EQ(makeFolders(folder), 0);
    ASSERT_EQ(writeFileAtomically(folder + "/inside", "keep"), 0);
    EXPECT_EQ(writeFileAtomically(folder, "new"), EISDIR);
    EXPECT_EQ(contents(folder + "/inside"), "keep");
    EXPECT_TRUE(otherEntries(dir.path(), {"target"}).empty());

    EXPECT_EQ(writeFileAtomically(dir.file("missing/file"), "x"), ENOENT);
    EXPECT_EQ(writeFileAtomically(dir.path(), "x"), EISDIR);
    EXPECT_EQ(writeFileAtomically("", "x"), ENOENT);
    EXPECT_TRUE(otherEntries(dir.path(), {"target"}).empty());
}

TEST(CopyFile, CopiesOverwritesOrRefuses) {
    TempDir dir;
    const std::string from = dir.file("servers.default");
    const std::string to = dir.file("servers.txt");
    ASSERT_EQ(writeFileAtomically(from, "Local=127.0.0.1\r\n", 0640), 0);

    EXPECT_EQ(copyFile(from, to, true), 0);
    EXPECT_EQ(contents(to), "Local=127.0.0.1\r\n");
    EXPECT_EQ(permissions(to), 0640u);

    ASSERT_EQ(writeFileAtomically(to, "edited"), 0);
    EXPECT_EQ(copyFile(from, to, true), EEXIST);
    EXPECT_EQ(contents(to), "edited");
    EXPECT_EQ(copyFile(from, to, false), 0);
    EXPECT_EQ(contents(to), "Local=127.0.0.1\r\n");

    EXPECT_EQ(copyFile(dir.file("nothing"), to, false), ENOENT);
    EXPECT_EQ(contents(to), "Local=127.0.0.1\r\n");
    EXPECT_EQ(copyFile(from, dir.file("no/folder/x"), false), ENOENT);
    EXPECT_TRUE(otherEntries(dir.path(), {"servers.default", "servers.txt"}).empty());
}

TEST(MakeFolders, CreatesParentsPrivatelyAndAcceptsExisting) {
    TempDir dir;
    const std::string deep = dir.file("a/b//c/");
    EXPECT_EQ(makeFolders(deep), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("a/b/c")));
    for (const char* made : {"a", "a/b", "a/b/c"}) {
        EXPECT_EQ(permissions(dir.file(made)) & 077, 0u) << made;  // private to the user
    }
    EXPECT_EQ(makeFolders(deep), 0);
    EXPECT_EQ(makeFolders(dir.file("a")), 0);

    ASSERT_EQ(writeFileAtomically(dir.file("plain"), "x"), 0);
    EXPECT_EQ(makeFolders(dir.file("plain/sub")), ENOTDIR);
    EXPECT_EQ(makeFolders(dir.file("plain")), ENOTDIR);
    EXPECT_EQ(makeFolders(""), ENOENT);
}

TEST(FileExists, TrueOnlyForFiles) {
    TempDir dir;
    EXPECT_FALSE(fileExists(dir.file("x")));
    ASSERT_EQ(writeFileAtomically(dir.file("x"), ""), 0);
    EXPECT_TRUE(fileExists(dir.file("x")));
    EXPECT_FALSE(fileExists(dir.path()));
}

TEST(ListFolder, MatchesWildcardsWithoutRegardToCase) {
    TempDir dir;
    for (const char* name :
         {"join.wav", "PART.WAV", "quit.wave", "a.bmp", "wav", ".wav", "x.wav.bak",
          "\xC5\x81\xC3\xB3"
          "d.bmp"}) {
        ASSERT_EQ(writeFileAtomically(dir.file(name), "x"), 0);
    }
    ASSERT_EQ(makeFolders(dir.file("folder.wav")), 0);
    ASSERT_EQ(::symlink("join.wav", dir.file("link.wav").c_str()), 0);
    ASSERT_EQ(::symlink("gone", dir.file("dangling.wav").c_str()), 0);

    struct Case {
        const char* pattern;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.wav", {".wav", "PART.WAV", "join.wav", "link.wav"}},
        {"*.WaV", {".wav", "PART.WAV", "join.wav", "link.wav"}},
        {"????.wav", {"PART.WAV", "join.wav", "link.wav"}},
        {"??d.bmp",
         {"\xC5\x81\xC3\xB3"
          "d.bmp"}},  // '?' is one character, not one byte
        {"*.bmp",
         {"a.bmp",
          "\xC5\x81\xC3\xB3"
          "d.bmp"}},
        {"*wav*", {".wav", "PART.WAV", "join.wav", "link.wav", "quit.wave", "wav", "x.wav.bak"}},
        {"wav", {"wav"}},
        {"*.*",
         {".wav", "PART.WAV", "a.bmp", "join.wav", "link.wav", "quit.wave", "wav", "x.wav.bak",
          "\xC5\x81\xC3\xB3"
          "d.bmp"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names{"stale"};
        EXPECT_EQ(listFolder(dir.path(), c.pattern, names), 0) << c.pattern;
        std::sort(names.begin(), names.end());
        auto expected = c.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << c.pattern;
    }

    std::vector<std::string> names{"stale"};
    EXPECT_EQ(listFolder(dir.path(), "????d.bmp", names), ENOENT);  // four bytes, two characters
    EXPECT_EQ(listFolder(dir.path(), "*.mp3", names), ENOENT);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(listFolder(dir.file("missing"), "*", names), ENOENT);
    EXPECT_TRUE(names.empty());
}

}  // namespace
}  // namespace kolu
