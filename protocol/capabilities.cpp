#include "protocol/capabilities.h"

#include <algorithm>

namespace kolu {

namespace {

// A CAP REQ line's list stays well inside the 510 bytes of a line, whatever
// the names' lengths.
constexpr std::size_t kRequestListBytes = 400;

// Splits a blank-separated list, skipping empty items.
template <typename Each>
void forEachItem(std::u16string_view list, Each each) {
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(u' ', start);
        if (end == std::u16string_view::npos) {
            end = list.size();
        }
        if (end > start) {
            each(list.substr(start, end - start));
        }
        start = end + 1;
    }
}

bool isUnderstood(std::u16string_view name) {
    const auto& names = Capabilities::understood();
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

const std::vector<std::u16string_view>& Capabilities::understood() {
    static const std::vector<std::u16string_view> names{
        u"cap-notify",    u"multi-prefix", u"userhost-in-names", u"server-time",
        u"away-notify",   u"account-notify", u"extended-join",   u"chghost",
        u"invite-notify", u"echo-message", u"batch",             u"message-tags",
        u"sasl",
    };
    return names;
}

void Capabilities::reset(bool negotiating) {
    m_offers.clear();
    m_enabled.clear();
    m_requestsOut = 0;
    m_negotiating = negotiating;
    m_endHeld = false;
}

void Capabilities::takeOffers(std::u16string_view list) {
    forEachItem(list, [&](std::u16string_view item) {
        const std::size_t equals = item.find(u'=');
        std::u16string name(item.substr(0, equals));
        std::u16string value(equals == std::u16string_view::npos ? u"" : item.substr(equals + 1));
        auto known = std::find_if(m_offers.begin(), m_offers.end(),
                                  [&](const auto& offer) { return offer.first == name; });
        if (known != m_offers.end()) {
            known->second = std::move(value);
        } else {
            m_offers.emplace_back(std::move(name), std::move(value));
        }
    });
}

std::vector<std::u16string> Capabilities::requests(const std::vector<std::u16string>& names) {
    std::vector<std::u16string> lines;
    std::u16string list;
    for (const std::u16string& name : names) {
        if (!list.empty() && list.size() + 1 + name.size() > kRequestListBytes) {
            lines.push_back(u"CAP REQ :" + list);
            list.clear();
        }
        if (!list.empty()) {
            list += u' ';
        }
        list += name;
    }
    if (!list.empty()) {
        lines.push_back(u"CAP REQ :" + list);
    }
    m_requestsOut += static_cast<int>(lines.size());
    return lines;
}

std::vector<std::u16string> Capabilities::offersListed(std::u16string_view list, bool more,
                                                       bool wantSasl) {
    takeOffers(list);
    if (more) {
        return {};
    }
    std::vector<std::u16string> wanted;
    for (std::u16string_view name : understood()) {
        if ((name != u"sasl" || wantSasl) && offered(name) && !enabled(name)) {
            wanted.emplace_back(name);
        }
    }
    return requests(wanted);
}

std::vector<std::u16string> Capabilities::offersAdded(std::u16string_view list) {
    std::vector<std::u16string> wanted;
    forEachItem(list, [&](std::u16string_view item) {
        const std::u16string_view name = item.substr(0, item.find(u'='));
        // A login is made only while registering, so a later sasl offer is not taken.
        if (name != u"sasl" && isUnderstood(name) && !enabled(name)) {
            wanted.emplace_back(name);
        }
    });
    takeOffers(list);
    return requests(wanted);
}

void Capabilities::offersRemoved(std::u16string_view list) {
    forEachItem(list, [&](std::u16string_view name) {
        std::erase_if(m_offers, [&](const auto& offer) { return offer.first == name; });
        disable(name);
    });
}

void Capabilities::granted(std::u16string_view list) {
    forEachItem(list, [&](std::u16string_view name) {
        if (name.starts_with(u'-')) {
            disable(name.substr(1));
        } else if (isUnderstood(name)) {
            enable(name);
        }
    });
    m_requestsOut = std::max(0, m_requestsOut - 1);
}

void Capabilities::refused(std::u16string_view) {
    m_requestsOut = std::max(0, m_requestsOut - 1);
}

std::optional<std::u16string> Capabilities::finishNegotiation() {
    if (!m_negotiating || m_requestsOut > 0 || m_endHeld) {
        return std::nullopt;
    }
    m_negotiating = false;
    return u"CAP END";
}

bool Capabilities::enabled(std::u16string_view name) const {
    return std::find(m_enabled.begin(), m_enabled.end(), name) != m_enabled.end();
}

const std::u16string* Capabilities::offered(std::u16string_view name) const {
    for (const auto& offer : m_offers) {
        if (offer.first == name) {
            return &offer.second;
        }
    }
    return nullptr;
}

void Capabilities::enable(std::u16string_view name) {
    if (!enabled(name)) {
        m_enabled.emplace_back(name);
    }
}

void Capabilities::disable(std::u16string_view name) {
    std::erase(m_enabled, name);
}

}  // namespace kolu
