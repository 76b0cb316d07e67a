// Build-time tool: writes the named pictures (background pictures and the
// interface's own pictures) as 24-bit BMP files.
//   kolu_make_pictures OUTPUT_FOLDER waves.bmp dots.bmp ...
// Every name must be one of the designs, so the build's list of files and the
// designs here cannot drift apart unnoticed.
#include <cstdio>

#include "resources/tools/output_file.h"
#include "resources/tools/picture_designs.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER NAME.bmp...\n", argv[0]);
        return 2;
    }
    auto pictures = kolu::tools::shippedPictures();
    for (const kolu::tools::PictureDesign& design : kolu::tools::interfacePictures()) {
        pictures.push_back(design);
    }
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const kolu::tools::PictureDesign* design = kolu::tools::findPicture(pictures, argv[i]);
        if (design == nullptr) {
            std::fprintf(stderr, "no picture design named %s\n", argv[i]);
            ++failures;
            continue;
        }
        const auto bytes = kolu::tools::encodeBmp24(design->draw());
        if (!kolu::tools::writeOutputFile(argv[1], argv[i], bytes)) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
