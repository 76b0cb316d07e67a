#pragma once
// Event sounds (PlayWAV): each event ("query", "join", "kick", ...) names a value
// under the settings' "sounds" subkey holding a sound file relative to the
// installation folder. Settings are read at every event, so the options dialog's
// changes act at once; a sound that can't be played is reported, never waited for.
// One event's sound plays at most once per `sndgapms`, however fast the events come.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kolu {

class ErrorLog;
class Settings;
class SoundPlayer;

class EventSounds {
  public:
    EventSounds(Settings& settings, SoundPlayer& player, ErrorLog& log);

    // Plays the event's sound unless `snd_enable` is 0, no file is set for it or it
    // was played less than `sndgapms` ago. Returns 1.
    int PlayWAV(std::u16string_view event);

    // While muted nothing plays (lines replayed from before the connection).
    void setMuted(bool muted) { m_muted = muted; }
    bool muted() const { return m_muted; }

  private:
    Settings& m_settings;
    SoundPlayer& m_player;
    ErrorLog& m_log;
    // When each event's sound was last played (clock ticks); a handful of events.
    std::map<std::u16string, std::uint32_t, std::less<>> m_lastPlayed;
    bool m_muted = false;
};

}  // namespace kolu
