#pragma once
// A tiny additive synthesiser for the event sounds the client ships: each sound
// is a few tones (a sine with soft overtones, an optional pitch glide and an
// exponential decay) mixed, scaled to a set peak and framed so that the first
// and last samples are silent, which keeps playback free of clicks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "resources/tools/output_file.h"

namespace kolu::tools {

inline constexpr std::uint32_t kSampleRate = 22050;

// One voice of a sound. Times in seconds, frequencies in hertz.
struct Tone {
    double start = 0;
    double length = 0.1;
    double frequency = 440;
    double frequencyEnd = 0;  // 0: no glide
    double level = 1;         // relative to the other tones of the sound
    double decay = 8;         // per second; larger fades faster
    double overtones = 0.3;   // 0: pure sine; up to about 1: brighter
};

// A sound to be shipped: file name, tones, and the peak it is scaled to (0..1).
struct SoundDesign {
    const char* file;
    std::vector<Tone> tones;
    double peak;
};

// Soft edges of every tone and of the whole sound, in seconds.
inline constexpr double kToneAttack = 0.006;
inline constexpr double kToneRelease = 0.02;
inline constexpr double kSoundFade = 0.008;

// A raised-cosine ramp from 0 (t <= 0) to 1 (t >= width).
inline double smoothRamp(double t, double width) {
    if (t <= 0) {
        return 0;
    }
    if (t >= width) {
        return 1;
    }
    return 0.5 - 0.5 * std::cos(std::numbers::pi * t / width);
}

inline double soundLength(const SoundDesign& design) {
    double end = 0;
    for (const Tone& tone : design.tones) {
        end = std::max(end, tone.start + tone.length);
    }
    return end;
}

// Adds one tone into `mix` (samples as doubles at kSampleRate).
inline void addTone(std::vector<double>& mix, const Tone& tone) {
    const auto first = static_cast<std::size_t>(std::lround(tone.start * kSampleRate));
    const auto count = static_cast<std::size_t>(std::lround(tone.length * kSampleRate));
    const double glideTo = tone.frequencyEnd > 0 ? tone.frequencyEnd : tone.frequency;
    double phase = 0;
    for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double progress = static_cast<double>(i) / static_cast<double>(count);
        // Exponential glide sounds even across octaves.
        const double frequency = tone.frequency * std::pow(glideTo / tone.frequency, progress);
        const double wave = std::sin(phase) + tone.overtones * 0.5 * std::sin(2 * phase) +
                            tone.overtones * 0.25 * std::sin(3 * phase);
        const double envelope = smoothRamp(t, kToneAttack) * std::exp(-tone.decay * t) *
                                smoothRamp(tone.length - t, kToneRelease);
        mix[first + i] += tone.level * envelope * wave;
        phase += 2 * std::numbers::pi * frequency / kSampleRate;
        if (phase > 2 * std::numbers::pi) {
            phase -= 2 * std::numbers::pi;
        }
    }
}

// Renders a sound to 16-bit samples whose largest magnitude is peak * 32767.
inline std::vector<std::int16_t> renderSound(const SoundDesign& design) {
    const double length = soundLength(design);
    const auto count = static_cast<std::size_t>(std::lround(length * kSampleRate));
    std::vector<double> mix(count, 0.0);
    for (const Tone& tone : design.tones) {
        addTone(mix, tone);
    }
    double largest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        mix[i] *= smoothRamp(t, kSoundFade) * smoothRamp(length - t, kSoundFade);
        largest = std::max(largest, std::fabs(mix[i]));
    }
    const double scale = largest > 0 ? design.peak * 32767.0 / largest : 0;
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const long value = std::lround(mix[i] * scale);
        samples[i] = static_cast<std::int16_t>(std::clamp(value, -32767L, 32767L));
    }
    return samples;
}

// A canonical RIFF WAVE file: 44-byte header, 16-bit mono PCM.
inline std::vector<std::uint8_t> encodeWav(const std::vector<std::int16_t>& samples) {
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    putLe32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putLe32(out, 16);               // format chunk size
    putLe16(out, 1);                // PCM
    putLe16(out, 1);                // mono
    putLe32(out, kSampleRate);      // frames per second
    putLe32(out, kSampleRate * 2);  // bytes per second
    putLe16(out, 2);                // bytes per frame
    putLe16(out, 16);               // bits per sample
    putTag(out, "data");
    putLe32(out, dataBytes);
    for (std::int16_t sample : samples) {
        putLe16(out, static_cast<std::uint16_t>(sample));
    }
    return out;
}

}  // namespace kolu::tools
