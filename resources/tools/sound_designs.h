#pragma once
// The event sounds copied into the data folder on the first start, one per
// sound the first run names. Each is a short, soft figure that tells its event
// apart by ear: rising for arrivals, falling for departures, bright for a
// highlight, a low glide for a kick.
#include <string_view>
#include <vector>

#include "resources/tools/sound_synth.h"

namespace kolu::tools {

// Pitches used below, in hertz.
inline constexpr double kA4 = 440.00, kC5 = 523.25, kE5 = 659.26, kG5 = 783.99, kA5 = 880.00,
                        kC6 = 1046.50, kE6 = 1318.51, kG6 = 1567.98, kC7 = 2093.00;

inline std::vector<SoundDesign> shippedSounds() {
    // Tone fields: start, length, frequency, glide target, level, decay, overtones.
    return {
        // Someone joined: a rising fifth, like a door chime.
        {"join.wav", {{0.00, 0.30, kG5, 0, 1.0, 9, 0.25}, {0.12, 0.33, kC6, 0, 1.0, 7, 0.25}}, 0.5},
        // Someone left: the same chime falling.
        {"part.wav", {{0.00, 0.30, kC6, 0, 1.0, 9, 0.25}, {0.12, 0.33, kG5, 0, 1.0, 7, 0.25}}, 0.5},
        // A notice: one soft blip that lifts slightly.
        {"notice.wav", {{0.00, 0.14, kG5, kA5, 1.0, 14, 0.0}}, 0.35},
        // A highlight: three quick bright notes going up.
        {"highlight.wav",
         {{0.00, 0.16, kE6, 0, 1.0, 12, 0.5},
          {0.07, 0.16, kG6, 0, 1.0, 12, 0.5},
          {0.14, 0.22, kC7, 0, 1.0, 10, 0.5}},
         0.55},
        // Someone quit: a slow, gentle three-note fall.
        {"quit.wav",
         {{0.00, 0.20, kE5, 0, 1.0, 6, 0.15},
          {0.13, 0.20, kC5, 0, 1.0, 6, 0.15},
          {0.26, 0.30, kA4, 0, 1.0, 6, 0.15}},
         0.45},
        // A ping: a short high tick and its quieter echo.
        {"ping.wav",
         {{0.00, 0.07, kE6, 0, 1.0, 30, 0.1}, {0.10, 0.08, kE6, 0, 0.45, 30, 0.1}},
         0.45},
        // A kick: a low, buzzy downward glide.
        {"kick.wav",
         {{0.00, 0.32, 330, 165, 1.0, 7, 0.9}, {0.00, 0.20, 660, 330, 0.3, 12, 0.3}},
         0.6},
        // Operator status: a quick major arpeggio upwards.
        {"op.wav",
         {{0.00, 0.14, kC5, 0, 1.0, 9, 0.3},
          {0.08, 0.14, kE5, 0, 1.0, 9, 0.3},
          {0.16, 0.14, kG5, 0, 1.0, 9, 0.3},
          {0.24, 0.22, kC6, 0, 1.0, 8, 0.3}},
         0.5},
    };
}

// The design named `file`, or nullptr.
inline const SoundDesign* findSound(const std::vector<SoundDesign>& sounds, std::string_view file) {
    for (const SoundDesign& sound : sounds) {
        if (file == sound.file) {
            return &sound;
        }
    }
    return nullptr;
}

}  // namespace kolu::tools
