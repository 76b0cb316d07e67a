// Runs a fuzz target's checks over every file of the folders given, without
// libFuzzer, so each corpus is replayed by an ordinary build on every test run.
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

const char* g_input = nullptr;

// A failed check aborts: name the input that did it.
void nameInput(int) {
    if (g_input != nullptr) {
        const char prefix[] = "failing input: ";
        (void)!::write(STDERR_FILENO, prefix, sizeof prefix - 1);
        (void)!::write(STDERR_FILENO, g_input, std::strlen(g_input));
        (void)!::write(STDERR_FILENO, "\n", 1);
    }
    std::signal(SIGABRT, SIG_DFL);
    std::raise(SIGABRT);
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGABRT, nameInput);
    std::size_t inputs = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            if (!entry.is_regular_file()) {
                continue;
            }
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
            const std::string name = entry.path().string();
            g_input = name.c_str();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                   bytes.size());
            g_input = nullptr;
            ++inputs;
        }
    }
    std::printf("%zu inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
