#include "protocol/channel_modes.h"

#include <array>
#include <cstddef>
#include <utility>

namespace kolu {

bool ChannelModes::takesParameter(char16_t mode, bool plus) const {
    if (m_always.find(mode) != std::u16string::npos) {
        return true;
    }
    return plus && m_whenSet.find(mode) != std::u16string::npos;
}

bool ChannelModes::known(char16_t mode) const {
    return m_always.find(mode) != std::u16string::npos ||
           m_whenSet.find(mode) != std::u16string::npos ||
           m_never.find(mode) != std::u16string::npos;
}

void ChannelModes::learn(std::u16string_view token) {
    constexpr std::u16string_view kChanModes = u"CHANMODES=";
    if (token.starts_with(kChanModes)) {
        // A, B, C and D; groups a later protocol may add after D are not ours to read.
        std::array<std::u16string_view, 4> groups;
        std::u16string_view rest = token.substr(kChanModes.size());
        for (std::size_t i = 0; i < groups.size(); ++i) {
            const std::size_t comma = rest.find(u',');
            if (comma == std::u16string_view::npos && i < groups.size() - 1) {
                return;  // fewer than four groups: not a value to go by
            }
            groups[i] = rest.substr(0, comma);
            rest =
                comma == std::u16string_view::npos ? std::u16string_view() : rest.substr(comma + 1);
        }
        m_always.assign(groups[0]).append(groups[1]);
        m_whenSet.assign(groups[2]);
        m_never.assign(groups[3]);
        m_announced = true;
        return;
    }
    // "EXCEPTS" and "INVEX" name their list's mode when it isn't e and I.
    for (const auto& [name, mode] : {std::pair{std::u16string_view(u"EXCEPTS"), u'e'},
                                     std::pair{std::u16string_view(u"INVEX"), u'I'}}) {
        if (!token.starts_with(name)) {
            continue;
        }
        const std::u16string_view value = token.substr(name.size());
        char16_t letter = mode;
        if (value.size() == 2 && value[0] == u'=') {
            letter = value[1];
        } else if (!value.empty() && value != u"=") {
            continue;  // another token that begins the same way
        }
        if (!m_announced && !known(letter)) {
            m_always += letter;
        }
    }
}

}  // namespace kolu
