#include "ui/event_sounds.h"

#include <string>

#include "connection/error_log.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace kolu {

EventSounds::EventSounds(Settings& settings, SoundPlayer& player, ErrorLog& log)
    : m_settings(settings), m_player(player), m_log(log) {}

int EventSounds::PlayWAV(std::u16string_view event) {
    if (m_settings.RegCzytajLONG(u"snd_enable") == 0) {
        return 1;
    }
    std::u16string path;
    m_settings.RegWczytajDzwiek(event, path);
    if (path.empty()) {
        return 1;
    }
    // The player replaces a sound that is still playing and returns at once.
    const int error = m_player.playFileAsync(toUtf8(path));
    if (error != 0) {
        m_log.LogError(u"PlaySoundW", u"PlayWAV", error);
    }
    return 1;
}

}  // namespace kolu
