#include "connection/tls_trust.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/text.h"

namespace kolu {
namespace {

std::string entryFor(std::string_view host, std::string_view fingerprint) {
    return lowerAscii(host) + ' ' + std::string(fingerprint);
}

}  // namespace

bool TlsTrust::trusts(std::string_view host, std::string_view fingerprint) const {
    std::string text;
    if (fingerprint.empty() || readWholeFile(m_path, text, kFileLimit) != 0) {
        return false;
    }
    const std::string wanted = entryFor(host, fingerprint);
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line == wanted) {
            return true;
        }
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    return false;
}

int TlsTrust::trust(std::string_view host, std::string_view fingerprint) {
    std::string text;
    const int readError = readWholeFile(m_path, text, kFileLimit);
    if (readError != 0 && fileExists(m_path)) {
        return readError;  // never replace trusts that could not be read
    }
    if (!text.empty() && text.back() != '\n') {
        text += '\n';
    }
    text += entryFor(host, fingerprint) + '\n';
    return writeFileAtomically(m_path, text, 0600);
}

}  // namespace kolu
