#include "settings/error_log.h"

#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "platform/time_stamp.h"
#include "settings/setting_defaults.h"
#include "settings/settings.h"

namespace kolu {
namespace {

// Converts a wide part to its bytes within the byte buffer, XOR-ed for the file.
std::string encodePart(std::u16string_view text) {
    char buffer[ErrorLog::kByteBuffer];
    std::size_t length = toUtf8Bounded(text, buffer, sizeof buffer);
    return xorWithLogKey(std::string_view(buffer, length));
}

}  // namespace

std::string xorWithLogKey(std::string_view bytes) {
    std::string out(bytes);
    for (char& byte : out) {
        byte = static_cast<char>(static_cast<unsigned char>(byte) ^ ErrorLog::kXorKey);
    }
    return out;
}

ErrorLog::ErrorLog(RegistryStore& store, const Clock& clock, std::u16string fallbackFolder)
    : m_store(store), m_clock(clock), m_fallbackFolder(std::move(fallbackFolder)) {}

void ErrorLog::connectStatus(StatusPrinter print, bool* connected) {
    m_print = std::move(print);
    m_connected = connected;
}

// Reads the store directly: the log reports nothing about itself.
bool ErrorLog::debugOn() {
    RegKey key;
    if (m_store.openKey(kSettingsKey, key) != kErrorSuccess) {
        return false;
    }
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    std::uint32_t type = 0;
    long result = m_store.queryValue(key, u"debug", &type, &value, &size);
    m_store.closeKey(key);
    const bool read = result == kErrorSuccess && type == kRegDword && size == sizeof value;
    return switchIsOn(u"debug", read ? static_cast<std::int32_t>(value) : -1);
}

std::string ErrorLog::filePath() {
    std::u16string folder;
    RegKey key;
    if (m_store.openKey(kInstallKey, key) == kErrorSuccess) {
        char16_t buffer[250] = {};
        std::uint32_t size = sizeof buffer - sizeof(char16_t);
        std::uint32_t type = 0;
        if (m_store.queryValue(key, u"InstallDir", &type, buffer, &size) == kErrorSuccess &&
            type == kRegSz) {
            folder = buffer;
        }
        m_store.closeKey(key);
    }
    if (folder.empty()) {
        folder = m_fallbackFolder;
    }
    if (folder.back() != u'/') {
        folder += u'/';
    }
    return toUtf8(folder) + "errors.log";
}

void ErrorLog::writeEntry(std::u16string_view operation, std::u16string_view label, long code) {
    std::u16string message = errorText(static_cast<int>(code));
    std::u16string entry = errorLogStamp(m_clock.localTime());
    entry += u' ';
    entry += label;
    entry += u"\t\t";
    entry += operation;
    entry += u" : ";
    entry += decimalText(code);
    entry += u"\t\t";
    entry = std::u16string(cutAtWholeChar(entry, kWideBuffer - 1));

    File file;
    if (File::open(filePath(), OpenMode::OpenAlways, file, 0600) != 0) {
        return;
    }
    file.seekToEnd();
    std::string bytes = encodePart(entry);
    file.write(bytes.data(), bytes.size());
    bytes = message.empty() ? xorWithLogKey("\r\n") : encodePart(message);
    file.write(bytes.data(), bytes.size());
}

int ErrorLog::LogError(std::u16string_view operation, std::u16string_view label, int code) {
    if (debugOn()) {
        writeEntry(operation, label, code);
    }
    return 1;
}

int ErrorLog::LogSocketError(SocketLayer& sockets, std::u16string_view operation,
                             std::u16string_view label) {
    const int code = sockets.lastError();
    if (debugOn()) {
        writeEntry(operation, label, code);
    }
    if (code != 0) {
        if (m_print) {
            m_print(u"*** [" + decimalText(code) + u"] Software caused connection abort");
        }
        if (m_connected) {
            *m_connected = false;
        }
    }
    sockets.setLastError(0);
    return 1;
}

int ErrorLog::LogRegError(long code, std::u16string_view operation, std::u16string_view label) {
    if (code != 0 && debugOn()) {
        writeEntry(operation, label, code);
    }
    return 1;
}

}  // namespace kolu
