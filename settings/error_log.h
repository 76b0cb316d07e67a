#pragma once
// The error log: every failed platform call is reported here with the reporting
// operation's label. With `debug` = 1 each report is appended to errors.log in
// the installation folder, every byte XOR-ed with one fixed key. A socket error
// also tells the user the connection was lost and clears the connected flag.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kolu {

class Clock;
class SocketLayer;

class ErrorLog {
  public:
    // Reading errors.log back is the same XOR.
    static constexpr unsigned char kXorKey = 0x4B;
    // Buffer limits of one entry part: wide characters and converted bytes,
    // terminator included.
    static constexpr std::size_t kWideBuffer = 256;
    static constexpr std::size_t kByteBuffer = 256;

    // `fallbackFolder` (ending in '/') is used when `InstallDir` can't be read.
    ErrorLog(RegistryStore& store, const Clock& clock, std::u16string fallbackFolder);
    // A log over the same file with no status tab yet: each session keeps one, so
    // a socket error is told in the window whose connection it ended, and a
    // closing window takes its printer with it.
    ErrorLog sibling() const { return ErrorLog(m_store, m_clock, m_fallbackFolder); }

    // Prints a line in the status tab.
    using StatusPrinter = std::function<void(std::u16string_view text)>;
    // Where LogSocketError prints its line and which flag it clears; until this is
    // called the line is not printed.
    void connectStatus(StatusPrinter print, bool* connected);

    // Reports a failed call with its error code; writes whatever the code when `debug` is 1.
    int LogError(std::u16string_view operation, std::u16string_view label, int code);
    // Reads and resets the socket layer's last error; a non-zero code ends the connection.
    int LogSocketError(SocketLayer& sockets, std::u16string_view operation,
                       std::u16string_view label);
    // Reports a settings-store result; code 0 is never written.
    int LogRegError(long code, std::u16string_view operation, std::u16string_view label);

    // The log file's path (installation folder + "errors.log").
    std::string filePath();

  private:
    bool debugOn();
    void writeEntry(std::u16string_view operation, std::u16string_view label, long code);

    RegistryStore& m_store;
    const Clock& m_clock;
    std::u16string m_fallbackFolder;
    StatusPrinter m_print;
    bool* m_connected = nullptr;
};

// XORs every byte with the log's key (encodes and decodes).
std::string xorWithLogKey(std::string_view bytes);

}  // namespace kolu
