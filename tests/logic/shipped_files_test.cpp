#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/text.h"
#include "resources/tools/picture_designs.h"
#include "resources/tools/sound_designs.h"
#include "servers/port_list.h"
#include "servers/server_list.h"

namespace kolu {
namespace {

using namespace std::string_literals;

std::string readSourceFile(const std::string& relative) {
    std::ifstream in(std::string(KOLU_SOURCE_DIR) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << relative;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The servers fuzz corpus replays this file through the parser's own checks.
TEST(ShippedServers, EveryLineFitsTheDialogAndItsPortsGiveAPort) {
    const std::string text = readSourceFile("resources/servers.txt");
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
    })) << "the list must stay plain ASCII";
    const ServerList list = SrvTworzListe(text);
    EXPECT_EQ(serverFileText(list), text) << "every line whole, in four fields, ending in CR LF";
    for (const ServerRecord& line : list.servers()) {
        SCOPED_TRACE(toUtf8(line.network + u" " + line.server));
        EXPECT_TRUE(!line.network.empty() && line.network.size() <= 59u);
        EXPECT_TRUE(!line.server.empty() && line.server.size() <= 119u);
        EXPECT_LE(line.ports.size(), 59u);
        PortList ports;
        EXPECT_GT(SrvTworzTbPortow(line.ports, ports), 0);
    }
    EXPECT_NE(text.find("Local\t127.0.0.1\t6667\t\r\n"), std::string::npos);
}

TEST(ShippedSounds, WavEncoderWritesACanonicalHeaderAndLittleEndianSamples) {
    const auto bytes = tools::encodeWav({0, 1000, -2});
    // PCM, mono, 22050 Hz, 44100 bytes a second, 16 bits; then 6 bytes of samples.
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "RIFF*\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0"
              "data\x06\0\0\0\0\0\xE8\x03\xFE\xFF"s);
}

TEST(ShippedPictures, BmpEncoderPadsRowsAndStoresThemBottomUp) {
    tools::Picture picture(3, 2, {0, 0, 0});
    picture.set(0, 0, {10, 20, 30});  // top left
    picture.set(2, 1, {40, 50, 60});  // bottom right
    const auto bytes = tools::encodeBmp24(picture);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);  // 9 bytes a row, padded to 12
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "BM");
    EXPECT_EQ(le32(bytes, 2), bytes.size());
    for (auto [at, value] : {std::pair{10, 54u}, {14, 40u}, {18, 3u}, {22, 2u}, {34, 24u}}) {
        EXPECT_EQ(le32(bytes, at), value) << at;
    }
    EXPECT_EQ(bytes[28], 24);
    // The bottom row comes first; each pixel is blue, green, red.
    EXPECT_EQ(std::vector<int>(bytes.begin() + 54, bytes.begin() + 78),
              (std::vector<int>{0,  0,  0,  0, 0, 0, 60, 50, 40, 0, 0, 0,  //
                                30, 20, 10, 0, 0, 0, 0,  0,  0,  0, 0, 0}));
}

}  // namespace
}  // namespace kolu
