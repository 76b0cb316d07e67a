#include "ui/recent_speakers.h"

#include <algorithm>

#include "platform/text.h"

namespace kolu {

std::vector<std::u16string>::iterator RecentSpeakers::find(std::u16string_view nickname) {
    return std::find_if(m_names.begin(), m_names.end(), [&](const std::u16string& name) {
        return equalsIgnoreCase(name, nickname);
    });
}

void RecentSpeakers::note(std::u16string_view nickname) {
    if (const auto found = find(nickname); found != m_names.end()) {
        m_names.erase(found);
    } else if (m_names.size() == kCapacity) {
        m_names.pop_back();
    }
    m_names.emplace(m_names.begin(), nickname);
}

void RecentSpeakers::forget(std::u16string_view nickname) {
    if (const auto found = find(nickname); found != m_names.end()) {
        m_names.erase(found);
    }
}

void RecentSpeakers::rename(std::u16string_view oldNickname, std::u16string_view newNickname) {
    if (const auto found = find(oldNickname); found != m_names.end()) {
        found->assign(newNickname);
    }
}

}  // namespace kolu
