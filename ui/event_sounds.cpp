#include "ui/event_sounds.h"

#include <string>

#include "platform/clock.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {

EventSounds::EventSounds(Settings& settings, SoundPlayer& player, ErrorLog& log)
    : m_settings(settings), m_player(player), m_log(log) {}

int EventSounds::PlayWAV(std::u16string_view event) {
    if (m_muted || !m_settings.switchOn(u"snd_enable")) {
        return 1;
    }
    std::u16string path;
    m_settings.RegWczytajDzwiek(event, path);
    if (path.empty()) {
        return 1;
    }
    const std::uint32_t now = m_settings.clock().tickCount();
    const auto last = m_lastPlayed.find(event);
    if (last != m_lastPlayed.end()) {
        const auto gap =
            static_cast<std::uint32_t>(m_settings.RegCzytajLimit(u"sndgapms", 0, 60000));
        if (now - last->second < gap) {
            return 1;
        }
        last->second = now;
    } else {
        m_lastPlayed.emplace(event, now);
    }
    // The player replaces a sound that is still playing and returns at once.
    const int error = m_player.playFileAsync(toUtf8(path));
    if (error != 0) {
        m_log.LogError(u"PlaySoundW", u"PlayWAV", error);
    }
    return 1;
}

}  // namespace kolu
