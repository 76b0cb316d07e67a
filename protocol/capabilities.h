#pragma once
// Capability negotiation with the server: what it offers (CAP LS, CAP NEW,
// CAP DEL), what the client asks for (CAP REQ) and what was granted (CAP ACK).
// Pure bookkeeping: each step returns the lines to send, so it is tested
// without a connection. A server that knows nothing of it never answers, and
// the login goes on as if none had been asked.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kolu {

class Capabilities {
  public:
    // Everything the client can use, in the order it asks for them ("sasl" is
    // asked for only when there is a login to make, "sts" is never asked for:
    // its offer is the policy).
    static const std::vector<std::u16string_view>& understood();

    // A new connection: nothing offered, nothing granted. `negotiating` is set
    // when CAP LS was sent with the login and CAP END is still to come.
    void reset(bool negotiating);

    // "CAP <nick> LS [*] :caps": the offers are kept; the last line of the
    // list (without "*") returns the CAP REQ lines, or nothing when there is
    // nothing to ask for (then finishNegotiation follows).
    std::vector<std::u16string> offersListed(std::u16string_view list, bool more, bool wantSasl);
    // "CAP <nick> NEW :caps" after the login (cap-notify): the REQ lines for
    // those the client wants.
    std::vector<std::u16string> offersAdded(std::u16string_view list);
    // "CAP <nick> DEL :caps": withdrawn, and no longer enabled.
    void offersRemoved(std::u16string_view list);
    // "CAP <nick> ACK :caps" ("-name" turns one off) and "CAP <nick> NAK :caps".
    void granted(std::u16string_view list);
    void refused(std::u16string_view list);
    // True while REQ lines wait for their ACK or NAK.
    bool awaitingAnswer() const { return m_requestsOut > 0; }

    // "CAP END" once, when negotiation is under way and nothing is pending (no
    // answer and no login);
    // nothing otherwise.
    std::optional<std::u16string> finishNegotiation();
    bool negotiating() const { return m_negotiating; }
    // While an account login runs, CAP END waits for its outcome.
    void holdEnd(bool held) { m_endHeld = held; }
    // The server registered the client, or showed it knows no capabilities:
    // no CAP END is due; what was granted stays.
    void stopNegotiating() { m_negotiating = false; }

    bool enabled(std::u16string_view name) const;
    // The value a server gave an offer ("sasl=PLAIN,EXTERNAL" gives
    // "PLAIN,EXTERNAL"); nullptr when it is not offered.
    const std::u16string* offered(std::u16string_view name) const;

    // Turns one on or off as an ACK or a DEL does.
    void enable(std::u16string_view name);
    void disable(std::u16string_view name);

  private:
    // CAP REQ lines for `names`, each at most what a protocol line holds.
    std::vector<std::u16string> requests(const std::vector<std::u16string>& names);
    void takeOffers(std::u16string_view list);

    std::vector<std::pair<std::u16string, std::u16string>> m_offers;
    std::vector<std::u16string> m_enabled;
    int m_requestsOut = 0;
    bool m_negotiating = false;
    bool m_endHeld = false;
};

}  // namespace kolu
