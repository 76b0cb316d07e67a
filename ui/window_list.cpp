#include "ui/window_list.h"

#include <cerrno>
#include <charconv>

#include "platform/files.h"
#include "platform/text.h"

namespace kolu {
namespace {

// A name the client could have had a channel tab for, and that a JOIN line
// carries whole: '#' or '&' first, no blank, comma or control character.
bool isChannelName(std::u16string_view name) {
    if (name.size() < 2 || name.size() > kMaxChannelName || (name[0] != u'#' && name[0] != u'&')) {
        return false;
    }
    for (const char16_t c : name) {
        if (c < 0x20 || c == u' ' || c == u',' || c == 0x7F) {
            return false;
        }
    }
    return true;
}

bool parseLine(std::string_view line, WindowRecord& out) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab == 0) {
        return false;
    }
    const std::string_view number = line.substr(0, tab);
    const char* end = number.data() + number.size();
    const auto [stop, failure] = std::from_chars(number.data(), end, out.server);
    if (failure != std::errc() || stop != end) {
        return false;
    }
    std::string_view rest = line.substr(tab + 1);
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view piece = rest.substr(0, blank);
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        if (piece.empty()) {
            continue;
        }
        std::u16string name = fromUtf8(piece);
        if (!isChannelName(name)) {
            return false;
        }
        out.channels.push_back(std::move(name));
    }
    return true;
}

}  // namespace

std::string formatWindowList(const std::vector<WindowRecord>& windows) {
    std::string text;
    for (const WindowRecord& window : windows) {
        text += std::to_string(window.server);
        text += '\t';
        const char* gap = "";
        for (const std::u16string& channel : window.channels) {
            // A name that would not read back is left out rather than the window.
            if (isChannelName(channel)) {
                text += gap + toUtf8(channel);
                gap = " ";
            }
        }
        text += "\r\n";
    }
    return text;
}

WindowList parseWindowList(std::string_view text) {
    WindowList list;
    int number = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        ++number;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        WindowRecord window;
        if (list.windows.size() < kMaxSavedWindows && parseLine(line, window)) {
            list.windows.push_back(std::move(window));
        } else {
            list.skippedLines.push_back(number);
        }
    }
    return list;
}

int writeWindowList(const std::string& path, const std::vector<WindowRecord>& windows) {
    return writeFileAtomically(path, formatWindowList(windows), 0600);
}

WindowList readWindowList(const std::string& path) {
    std::string text;
    if (const int error = readWholeFile(path, text, kWindowListLimit); error != 0) {
        WindowList list;
        list.error = error;
        return list;
    }
    return parseWindowList(text);
}

}  // namespace kolu
