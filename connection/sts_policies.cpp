#include "connection/sts_policies.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace kolu {
namespace {

template <typename Number>
std::optional<Number> readNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

struct PolicyLine {
    std::string_view line;  // as in the file, without its line end
    std::string_view host;
    std::uint16_t port = 0;
    std::int64_t expiry = 0;
    bool valid = false;
};

PolicyLine readLine(std::string_view line) {
    PolicyLine out;
    out.line = line;
    const std::size_t first = line.find(' ');
    const std::size_t second = first == line.npos ? line.npos : line.find(' ', first + 1);
    if (second == line.npos) {
        return out;
    }
    const auto port = readNumber<std::uint16_t>(line.substr(first + 1, second - first - 1));
    const auto expiry = readNumber<std::int64_t>(line.substr(second + 1));
    if (first == 0 || !port || *port == 0 || !expiry) {
        return out;
    }
    out.host = line.substr(0, first);
    out.port = *port;
    out.expiry = *expiry;
    out.valid = true;
    return out;
}

std::vector<PolicyLine> readLines(std::string_view text) {
    std::vector<PolicyLine> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.push_back(readLine(line));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

}  // namespace

StsOffer parseStsOffer(std::u16string_view value) {
    StsOffer offer;
    const std::string text = toUtf8(value);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t comma = std::min(rest.find(','), rest.size());
        const std::string_view pair = rest.substr(0, comma);
        rest.remove_prefix(std::min(comma + 1, rest.size()));
        const std::size_t equals = pair.find('=');
        if (equals == pair.npos) {
            continue;
        }
        const std::string_view key = pair.substr(0, equals);
        const std::string_view number = pair.substr(equals + 1);
        if (key == "port") {
            if (const auto port = readNumber<std::uint16_t>(number); port && *port != 0) {
                offer.port = port;
            }
        } else if (key == "duration") {
            if (!number.empty() && number.find_first_not_of("0123456789") == number.npos) {
                // Digits past what 64 bits hold still ask for a very long time.
                offer.duration = std::min(
                    readNumber<std::int64_t>(number).value_or(StsPolicies::kLongestDuration),
                    StsPolicies::kLongestDuration);
            }
        }
    }
    return offer;
}

std::optional<std::uint16_t> StsPolicies::live(std::string_view host, std::int64_t now) const {
    std::string text;
    if (readWholeFile(m_path, text, kFileLimit) != 0) {
        return std::nullopt;
    }
    const std::string wanted = lowerAscii(host);
    for (const PolicyLine& line : readLines(text)) {
        if (line.valid && line.host == wanted && line.expiry > now) {
            return line.port;
        }
    }
    return std::nullopt;
}

int StsPolicies::remember(std::string_view host, std::uint16_t port, std::int64_t duration,
                          std::int64_t now) {
    std::string text;
    const int readError = readWholeFile(m_path, text, kFileLimit);
    if (readError != 0 && fileExists(m_path)) {
        return readError;  // never replace policies that could not be read
    }
    const std::string name = lowerAscii(host);
    std::string out;
    for (const PolicyLine& line : readLines(text)) {
        // A line this version can't read is kept as it is.
        if (!line.valid || (line.host != name && line.expiry > now)) {
            out.append(line.line);
            out += '\n';
        }
    }
    if (duration > 0) {
        out += name + ' ' + std::to_string(port) + ' ' +
               std::to_string(now + std::min(duration, kLongestDuration)) + '\n';
    }
    if (out == text) {
        return 0;
    }
    return writeFileAtomically(m_path, out, 0600);
}

}  // namespace kolu
