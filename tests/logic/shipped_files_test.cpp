// Checks of the defaults the client ships: the server list's exact bytes, the
// generators of the event sounds and background pictures, and the help page.
// The shipped text files are read from the source tree (KOLU_SOURCE_DIR).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "resources/tools/picture_designs.h"
#include "resources/tools/sound_designs.h"

namespace kolu {
namespace {

std::string readSourceFile(const std::string& relative) {
    std::ifstream in(std::string(KOLU_SOURCE_DIR) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << relative;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

struct ServerLine {
    std::string network, server, ports, password;
};

// Splits servers.txt into its lines, checking the framing on the way.
std::vector<ServerLine> splitServerLines(const std::string& text) {
    std::vector<ServerLine> lines;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t end = text.find("\r\n", position);
        if (end == std::string::npos) {
            ADD_FAILURE() << "text after the last CR LF: " << text.substr(position);
            break;
        }
        const std::string line = text.substr(position, end - position);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break in " << line;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, '\t');) {
            fields.push_back(field);
        }
        if (!line.empty() && line.back() == '\t') {
            fields.emplace_back();  // getline drops an empty last field
        }
        if (fields.size() != 4) {
            ADD_FAILURE() << "expected 4 TAB-separated fields in: " << line;
        } else {
            lines.push_back({fields[0], fields[1], fields[2], fields[3]});
        }
        position = end + 2;
    }
    return lines;
}

// Ports text as the client reads it: comma-separated numbers and low-high ranges,
// each may start with '+' (TLS). Returns false for a piece the client would read
// as port 0 or an empty range.
bool expandPorts(const std::string& text, std::vector<int>& ports) {
    std::stringstream stream(text);
    for (std::string piece; std::getline(stream, piece, ',');) {
        if (piece.starts_with('+')) {
            piece.erase(0, 1);
        }
        const std::size_t dash = piece.find('-');
        const std::string low = piece.substr(0, dash);
        const std::string high = dash == std::string::npos ? low : piece.substr(dash + 1);
        auto digitsOnly = [](const std::string& s) {
            return !s.empty() && s.size() <= 5 &&
                   std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
        };
        if (!digitsOnly(low) || !digitsOnly(high) || std::stoi(low) > std::stoi(high)) {
            return false;
        }
        for (int port = std::stoi(low); port <= std::stoi(high); ++port) {
            ports.push_back(port);
        }
    }
    return !text.empty() && text.back() != ',';
}

TEST(ShippedServers, EveryLineHasFourFieldsWithinTheDialogLimits) {
    const std::string text = readSourceFile("resources/servers.txt");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
    })) << "the list must stay plain ASCII";
    const auto lines = splitServerLines(text);
    ASSERT_GE(lines.size(), 9u);
    for (const ServerLine& line : lines) {
        SCOPED_TRACE(line.network + " " + line.server);
        EXPECT_FALSE(line.network.empty());
        EXPECT_FALSE(line.server.empty());
        EXPECT_LE(line.network.size(), 59u);
        EXPECT_LE(line.server.size(), 119u);
        EXPECT_LE(line.ports.size(), 59u);
        EXPECT_LE(line.password.size(), 59u);
        EXPECT_EQ(line.server.find(' '), std::string::npos);
        std::vector<int> ports;
        EXPECT_TRUE(expandPorts(line.ports, ports)) << line.ports;
        EXPECT_FALSE(ports.empty());
        for (int port : ports) {
            EXPECT_TRUE(port >= 1 && port <= 65535) << port;
        }
    }
}

TEST(ShippedServers, NetworksAreGroupedAndIncludeTheLocalEntry) {
    const auto lines = splitServerLines(readSourceFile("resources/servers.txt"));
    std::vector<std::string> order;
    std::set<std::string> entries;
    for (const ServerLine& line : lines) {
        if (order.empty() || order.back() != line.network) {
            EXPECT_EQ(std::find(order.begin(), order.end(), line.network), order.end())
                << line.network << " appears in two separate groups";
            order.push_back(line.network);
        }
        EXPECT_TRUE(entries.insert(line.network + "/" + line.server).second)
            << "duplicate " << line.server;
    }
    for (const char* network :
         {"Libera.Chat", "OFTC", "EFnet", "IRCnet", "Undernet", "DALnet", "QuakeNet", "Rizon"}) {
        EXPECT_NE(std::find(order.begin(), order.end(), network), order.end()) << network;
    }
    const auto local = std::find_if(lines.begin(), lines.end(),
                                    [](const ServerLine& line) { return line.network == "Local"; });
    ASSERT_NE(local, lines.end());
    EXPECT_EQ(local->server, "127.0.0.1");
    EXPECT_EQ(local->ports, "6667");
    EXPECT_EQ(local->password, "");
}

TEST(ShippedSounds, WavEncoderWritesACanonicalHeaderAndLittleEndianSamples) {
    const auto bytes = tools::encodeWav({0, 1000, -2});
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), 42u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 1);  // PCM
    EXPECT_EQ(le16(bytes, 22), 1);  // mono
    EXPECT_EQ(le32(bytes, 24), 22050u);
    EXPECT_EQ(le32(bytes, 28), 44100u);
    EXPECT_EQ(le16(bytes, 32), 2);
    EXPECT_EQ(le16(bytes, 34), 16);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(le32(bytes, 40), 6u);
    EXPECT_EQ(le16(bytes, 44), 0);
    EXPECT_EQ(le16(bytes, 46), 1000);
    EXPECT_EQ(le16(bytes, 48), 0xFFFE);
}

TEST(ShippedSounds, EveryFirstRunSoundIsShortSmallAndFreeOfClicks) {
    const auto sounds = tools::shippedSounds();
    std::set<std::string> names;
    std::set<std::vector<std::uint8_t>> contents;
    for (const tools::SoundDesign& design : sounds) {
        SCOPED_TRACE(design.file);
        names.insert(design.file);
        const auto samples = tools::renderSound(design);
        const double seconds = static_cast<double>(samples.size()) / tools::kSampleRate;
        EXPECT_GE(seconds, 0.1);
        EXPECT_LE(seconds, 0.6);
        const auto bytes = tools::encodeWav(samples);
        EXPECT_LT(bytes.size(), 30u * 1024u);
        EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
        contents.insert(bytes);
        int peak = 0;
        for (std::int16_t sample : samples) {
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        EXPECT_NEAR(peak, design.peak * 32767, 1.0);
        // Faded edges: the first and last few milliseconds stay near silence.
        for (std::size_t i = 0; i < 20; ++i) {
            EXPECT_LT(std::abs(samples[i]), peak / 10) << "sample " << i;
            EXPECT_LT(std::abs(samples[samples.size() - 1 - i]), peak / 10) << "from end " << i;
        }
    }
    const std::set<std::string> expected{"join.wav", "part.wav", "notice.wav", "highlight.wav",
                                         "quit.wav", "ping.wav", "kick.wav",   "op.wav"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(contents.size(), sounds.size()) << "two sounds are identical";
}

TEST(ShippedPictures, BmpEncoderPadsRowsAndStoresThemBottomUp) {
    tools::Picture picture(3, 2, {0, 0, 0});
    picture.set(0, 0, {10, 20, 30});  // top left
    picture.set(2, 1, {40, 50, 60});  // bottom right
    const auto bytes = tools::encodeBmp24(picture);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 9 bytes a row, padded to 12
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    EXPECT_EQ(le32(bytes, 10), 54u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 3u);
    EXPECT_EQ(le32(bytes, 22), 2u);
    EXPECT_EQ(le16(bytes, 28), 24);
    EXPECT_EQ(le32(bytes, 30), 0u);
    EXPECT_EQ(le32(bytes, 34), 24u);
    // The bottom row comes first; each pixel is blue, green, red.
    EXPECT_EQ(std::vector<int>(bytes.begin() + 54 + 6, bytes.begin() + 54 + 12),
              (std::vector<int>{60, 50, 40, 0, 0, 0}));
    EXPECT_EQ(std::vector<int>(bytes.begin() + 66, bytes.begin() + 69),
              (std::vector<int>{30, 20, 10}));
}

TEST(ShippedPictures, BackgroundsArePortraitAndLightEnoughForText) {
    std::set<std::string> names;
    for (const tools::PictureDesign& design : tools::shippedPictures()) {
        SCOPED_TRACE(design.file);
        names.insert(design.file);
        const tools::Picture picture = design.draw();
        EXPECT_EQ(picture.width(), 240);
        EXPECT_EQ(picture.height(), 320);
        long long sum = 0;
        int darkest = 255;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const tools::Rgb pixel = picture.at(x, y);
                sum += pixel.r + pixel.g + pixel.b;
                darkest = std::min({darkest, int{pixel.r}, int{pixel.g}, int{pixel.b}});
            }
        }
        EXPECT_GE(sum / (3LL * picture.width() * picture.height()), 210);
        EXPECT_GE(darkest, 140);
    }
    EXPECT_TRUE(names.count("waves.bmp") == 1 && names.count("dots.bmp") == 1);
}

TEST(ShippedHelp, PageIsSelfContainedAndListsEveryCommand) {
    const std::string page = readSourceFile("resources/help/help.html");
    std::string lower = page;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    for (const char* outside : {"http:", "https:", "<script", "<link", "src=", "@import", "url("}) {
        EXPECT_EQ(lower.find(outside), std::string::npos) << outside;
    }
    for (const char* command : {"/join", "/part",   "/list", "/names", "/whois", "/whowas", "/who",
                                "/nick", "/invite", "/mode", "/quit",  "/topic", "/kick",   "/ping",
                                "/me",   "/notice", "/msg",  "/query", "/away",  "/ison"}) {
        EXPECT_NE(page.find(std::string("<code>") + command), std::string::npos) << command;
    }
    for (const char* path : {"~/.config/kolu/registry", "~/.local/share/kolu/"}) {
        EXPECT_NE(page.find(path), std::string::npos) << path;
    }
}

}  // namespace
}  // namespace kolu
