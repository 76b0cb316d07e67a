// Strict transport security on the connection: a plain-text server's request
// to come back over TLS, and the policies a TLS server sets for its host.
#include <algorithm>

#include "connection/connection.h"
#include "connection/sts_policies.h"
#include "platform/civil_time.h"
#include "platform/error_text.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace kolu {

std::string Connection::stsFile() {
    return toUtf8(m_parts.settings.CzytajInstallDir()) + StsPolicies::kFileName;
}

bool Connection::stsOffered(std::u16string_view value) {
    const StsOffer offer = parseStsOffer(value);
    const std::u16string host = fromUtf8(m_server.host);
    if (!m_server.tls) {
        // Over plain text only the port counts: a duration heard there could
        // have been forged on the way.
        if (!offer.port || m_state.socket == kInvalidSocket) {
            return false;
        }
        const std::string key = lowerAscii(m_server.host);
        std::erase_if(m_stsUpgrades, [&](const auto& entry) { return entry.first == key; });
        m_stsUpgrades.emplace_back(key, *offer.port);
        printInfo(u"*** " + host + u" asks for TLS: reconnecting to port " +
                  decimalText(*offer.port));
        m_stsReconnect = true;
        m_state.connected = false;  // the next poll tick closes, then connects again
        return true;
    }
    if (!offer.duration) {
        return false;
    }
    // Over TLS the policy names this connection's own port.
    const int error = StsPolicies(stsFile()).remember(m_server.host, m_server.port, *offer.duration,
                                                      pobierz_czas(m_parts.clock));
    if (error != 0) {
        printInfo(u"*** The TLS policy of " + host + u" could not be saved (" + errorText(error) +
                  u")");
    }
    return false;
}

void Connection::applyStsPolicy(ConnectionData& server) {
    // With the extensions switched off a host is reached as the server list says.
    if (server.tls || !m_parts.settings.switchOn(u"ircv3")) {
        return;
    }
    const std::string key = lowerAscii(server.host);
    std::optional<std::uint16_t> port;
    const auto asked = std::find_if(m_stsUpgrades.begin(), m_stsUpgrades.end(),
                                    [&](const auto& entry) { return entry.first == key; });
    if (asked != m_stsUpgrades.end()) {
        port = asked->second;
    } else {
        port = StsPolicies(stsFile()).live(server.host, pobierz_czas(m_parts.clock));
    }
    if (!port) {
        return;
    }
    // A certificate is checked as on any TLS port: the policy trusts nothing more.
    server.tls = true;
    server.port = *port;
    printInfo(u"*** " + fromUtf8(server.host) + u" is reached over TLS only: using port " +
              decimalText(*port));
}

}  // namespace kolu
