#include "connection/server_logins.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kolu {
namespace {

constexpr unsigned kFileMode = 0600;  // the file holds passwords
constexpr std::size_t kColumns = 7;   // host, mechanism, account, password, cert, key, required

// A value's bytes with the characters that would end its column or its line
// (and the escape character itself) written as backslash escapes.
std::string escaped(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// The value a column holds; false for an escape this file never writes.
bool unescaped(std::string_view column, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < column.size(); ++i) {
        if (column[i] != '\\') {
            out += column[i];
            continue;
        }
        if (++i == column.size()) {
            return false;
        }
        switch (column[i]) {
            case '\\':
                out += '\\';
                break;
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case '0':
                out += '\0';
                break;
            default:
                return false;
        }
    }
    return true;
}

// Text columns must be UTF-8 as written; anything else was not written by us.
bool utf8Text(std::string_view bytes, std::u16string& out) {
    out = fromUtf8(bytes);
    return toUtf8(out) == bytes;
}

struct Entry {
    std::u16string host;
    SaslLogin login;
};

std::optional<Entry> parseLine(std::string_view line) {
    std::string columns[kColumns];
    std::size_t start = 0;
    for (std::size_t i = 0; i < kColumns; ++i) {
        const std::size_t tab = line.find('\t', start);
        const bool last = i + 1 == kColumns;
        if (last != (tab == std::string_view::npos)) {
            return std::nullopt;  // too few or too many columns
        }
        const std::size_t end = last ? line.size() : tab;
        if (!unescaped(line.substr(start, end - start), columns[i])) {
            return std::nullopt;
        }
        start = end + 1;
    }
    Entry entry;
    SaslLogin& login = entry.login;
    if (!utf8Text(columns[0], entry.host) || entry.host.empty() ||
        !utf8Text(columns[1], login.mechanism) || !isLoginMechanism(login.mechanism) ||
        !utf8Text(columns[2], login.account) || !utf8Text(columns[3], login.password) ||
        (columns[6] != "0" && columns[6] != "1")) {
        return std::nullopt;
    }
    login.certFile = std::move(columns[4]);
    login.keyFile = std::move(columns[5]);
    login.required = columns[6] == "1";
    return entry;
}

std::string lineOf(std::u16string_view host, const SaslLogin& login) {
    std::string line = escaped(toUtf8(host));
    for (const std::string& value : {toUtf8(login.mechanism), toUtf8(login.account),
                                     toUtf8(login.password), login.certFile, login.keyFile}) {
        line += '\t';
        line += escaped(value);
    }
    line += login.required ? "\t1\n" : "\t0\n";
    return line;
}

}  // namespace

bool isLoginMechanism(std::u16string_view name) {
    return std::ranges::find(kLoginMechanisms, name) != std::end(kLoginMechanisms);
}

// The file as read: each line's text (a damaged one is kept to be written back
// as it was, so no hand-made line is lost) and what it says when it is whole.
struct ServerLogins::Contents {
    struct Line {
        std::string text;
        std::optional<Entry> entry;
    };
    std::vector<Line> lines;
};

ServerLogins::ServerLogins(std::string path, Report report)
    : m_path(std::move(path)), m_report(std::move(report)) {}

void ServerLogins::report(std::u16string_view text) const {
    if (m_report && !m_reported) {
        m_reported = true;
        m_report(text);
    }
}

bool ServerLogins::read(Contents& out, int& error) const {
    std::string text;
    error = readWholeFile(m_path, text, kFileLimit);
    if (error == ENOENT) {
        error = 0;
        return true;  // no file: no logins
    }
    if (error != 0) {
        report(fromUtf8(kFileName) + u" could not be read (" + errorPhrase(error) + u")");
        return false;
    }
    std::size_t damaged = 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        std::optional<Entry> entry = parseLine(line);
        damaged += entry ? 0 : 1;
        out.lines.push_back({std::string(line), std::move(entry)});
    }
    if (damaged > 0) {
        report(fromUtf8(kFileName) + u": " + decimalText(static_cast<long long>(damaged)) +
               (damaged == 1 ? u" unreadable line skipped" : u" unreadable lines skipped"));
    }
    return true;
}

std::optional<SaslLogin> ServerLogins::find(std::u16string_view host) const {
    Contents contents;
    int error = 0;
    if (!read(contents, error)) {
        return std::nullopt;
    }
    for (const Contents::Line& line : contents.lines) {
        if (line.entry && line.entry->host == host) {
            return line.entry->login;
        }
    }
    return std::nullopt;
}

int ServerLogins::rewrite(std::u16string_view host, const std::string* replacement) {
    Contents contents;
    int error = 0;
    if (!read(contents, error)) {
        return error;  // never replace logins that could not be read
    }
    std::string text;
    bool placed = replacement == nullptr;
    bool found = false;
    for (const Contents::Line& line : contents.lines) {
        if (line.entry && line.entry->host == host) {
            found = true;
            // The host keeps its place; a second line for it (made by hand) goes.
            if (!placed) {
                text += *replacement;
                placed = true;
            }
            continue;
        }
        text += line.text;
        text += '\n';
    }
    if (!placed) {
        text += *replacement;
    } else if (!found && !replacement) {
        return 0;  // nothing to forget: the file stays untouched (or absent)
    }
    return writeFileAtomically(m_path, text, kFileMode);
}

int ServerLogins::set(std::u16string_view host, const SaslLogin& login) {
    if (host.empty() || !isLoginMechanism(login.mechanism)) {
        return EINVAL;
    }
    const std::string line = lineOf(host, login);
    return rewrite(host, &line);
}

int ServerLogins::remove(std::u16string_view host) {
    return rewrite(host, nullptr);
}

}  // namespace kolu
