#pragma once
// Writing of generated files for the build-time tools: a file is written under a
// temporary name and renamed over the target, so an interrupted build never
// leaves a half-written sound or picture that a later build would take as done.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace kolu::tools {

// Writes `bytes` to `folder`/`name`, creating the folder; prints the reason and
// returns false on failure.
inline bool writeOutputFile(const std::filesystem::path& folder, const std::string& name,
                            const std::vector<std::uint8_t>& bytes) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return false;
    }
    const std::filesystem::path target = folder / name;
    std::filesystem::path temporary = target;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", temporary.c_str());
            out.close();
            std::filesystem::remove(temporary, error);
            return false;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::fprintf(stderr, "cannot rename to %s: %s\n", target.c_str(), error.message().c_str());
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

// Little-endian integer appenders shared by the WAV and BMP encoders.
inline void putLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

inline void putLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putLe16(out, value & 0xFFFF);
    putLe16(out, value >> 16);
}

inline void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

}  // namespace kolu::tools
