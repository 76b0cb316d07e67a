// Build-time tool: writes the named event sounds as WAV files.
//   kolu_make_sounds OUTPUT_FOLDER join.wav part.wav ...
// Every name must be one of the shipped designs, so the build's list of files and
// the designs here cannot drift apart unnoticed.
#include <cstdio>

#include "resources/tools/output_file.h"
#include "resources/tools/sound_designs.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER NAME.wav...\n", argv[0]);
        return 2;
    }
    const auto sounds = kolu::tools::shippedSounds();
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const kolu::tools::SoundDesign* design = kolu::tools::findSound(sounds, argv[i]);
        if (design == nullptr) {
            std::fprintf(stderr, "no sound design named %s\n", argv[i]);
            ++failures;
            continue;
        }
        const auto bytes = kolu::tools::encodeWav(kolu::tools::renderSound(*design));
        if (!kolu::tools::writeOutputFile(argv[1], argv[i], bytes)) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
