// Build-time tool: writes the application icon at the given sizes as PNG files
// named icon_SIZE.png, for the desktop's icon theme and the window.
//   kolu_make_icons OUTPUT_FOLDER 16 24 32 ...
#include <cstdio>
#include <cstdlib>
#include <string>

#include "resources/tools/icon_design.h"
#include "resources/tools/output_file.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    int failures = 0;
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "not an icon size: %s\n", argv[i]);
            ++failures;
            continue;
        }
        const auto bytes = kolu::tools::encodePng(kolu::tools::drawIcon(size));
        if (!kolu::tools::writeOutputFile(argv[1], "icon_" + std::to_string(size) + ".png",
                                          bytes)) {
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
