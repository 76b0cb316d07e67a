#pragma once
// windows.txt in the data folder: the main windows that were open when the
// client last ended (rewritten as windows open and close), which the next start
// opens again. One line per window, in order: its server list position, a TAB,
// and the names of its channel tabs separated by blanks, CR LF. Written whole
// or not at all, readable only by the user.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

struct WindowRecord {
    std::int32_t server = 0;
    std::vector<std::u16string> channels;

    bool operator==(const WindowRecord&) const = default;
};

struct WindowList {
    std::vector<WindowRecord> windows;
    // Lines that are no window (numbered from 1), left out; blank lines are not counted.
    std::vector<int> skippedLines;
    // 0, or why the file could not be read (ENOENT: there is none).
    int error = 0;
};

inline constexpr const char* kWindowListName = "windows.txt";
// Far more than anyone keeps open; a larger file is not read.
inline constexpr std::size_t kWindowListLimit = 64 * 1024;
// A start opens at most this many windows; the lines after them are skipped.
inline constexpr std::size_t kMaxSavedWindows = 16;
// A channel name longer than this (UTF-16 units) makes its line no window.
inline constexpr std::size_t kMaxChannelName = 200;

std::string formatWindowList(const std::vector<WindowRecord>& windows);
WindowList parseWindowList(std::string_view text);

// 0 or an error code; the old file stays when the new one could not be written.
int writeWindowList(const std::string& path, const std::vector<WindowRecord>& windows);
WindowList readWindowList(const std::string& path);

}  // namespace kolu
