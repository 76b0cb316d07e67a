#pragma once
// A file-backed stand-in for the registry: keys under HKEY_LOCAL_MACHINE holding
// named string, 32-bit and binary values, opened, read, written and closed with
// the registry's result codes. Writes through a key are committed to disk when
// that key is closed (temporary file, fsync, rename), so a crash never leaves a
// half-written store. Reads are served from memory; the file is looked at again
// (one stat) before every write and, for reads, once `recheckAfter` has passed
// since the last look, so a hand edit is seen within that time without a system
// call on every read of a busy session.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kolu {

// Registry result codes (Win32 error numbers).
enum : long {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorOutOfMemory = 14,
    kErrorWriteFault = 29,
    kErrorInvalidParameter = 87,
    kErrorDiskFull = 112,
    kErrorMoreData = 234,
};

// Value types (REG_SZ, REG_BINARY, REG_DWORD).
enum : std::uint32_t { kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

// An open key; 0 is no key.
struct RegKey {
    int id = 0;
    explicit operator bool() const { return id != 0; }
};

class RegistryStore {
  public:
    static constexpr std::chrono::milliseconds kRecheckAfter{100};

    // `filePath` is the store's file; its folder is created when missing.
    explicit RegistryStore(std::string filePath,
                           std::chrono::milliseconds recheckAfter = kRecheckAfter);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // Key paths are relative to HKEY_LOCAL_MACHINE, parts separated by '\'
    // ("SOFTWARE\\Marvoline\\Kolu"), compared without regard to case; a leading or
    // trailing '\' is ignored. RegOpenKeyEx: kErrorFileNotFound when missing.
    long openKey(std::u16string_view path, RegKey& out);
    // RegCreateKeyEx: opens the key, creating it (and its parents) when missing.
    long createKey(std::u16string_view path, RegKey& out, bool* created = nullptr);
    // RegQueryValueEx. `type` and `data` may be null. `size` holds the buffer's
    // size in bytes and receives the value's size; a buffer too small gives
    // kErrorMoreData and leaves the buffer alone. A string value's bytes are its
    // UTF-16 units in little-endian order followed by a zero terminator.
    long queryValue(RegKey key, std::u16string_view name, std::uint32_t* type, void* data,
                    std::uint32_t* size);
    // RegSetValueEx.
    long setValue(RegKey key, std::u16string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size);
    // RegCloseKey: commits the writes made through this key.
    long closeKey(RegKey key);

    // Whether writes are waiting for a commit (the last one failed or no key closed yet).
    bool hasUnsaved() const;
    // Commits the writes still waiting (kErrorSuccess when none wait), so that a
    // caller about to write a set of values it may have to take back can first
    // part them from the earlier ones.
    long commitUnsaved();
    // Forgets every write not yet committed: the store reads as its file again.
    // Lets a caller that could not save a set of values take them all back.
    void discardUnsaved();

    // Set when the file could not be parsed at load: the path it was moved to.
    const std::string& corruptFileKeptAs() const { return m_corruptKeptAs; }
    const std::string& filePath() const { return m_path; }

  private:
    struct State;
    long openOrCreate(std::u16string_view path, RegKey& out, bool create, bool* created);
    // Re-reads the file when its stat stamp changed (and nothing is waiting to be
    // written). Unless `always`, skipped while the last look is recent enough.
    void refreshFromDisk(bool always);
    long commit();

    std::string m_path;
    std::string m_corruptKeptAs;
    std::chrono::milliseconds m_recheckAfter;
    // Parsed keys, open handles, the file's stat stamp (defined in registry.cpp).
    std::unique_ptr<State> m_state;
};

// Text form of the store, used by the file and by tests.
namespace registry_format {
struct ParsedValue {
    std::u16string name;
    std::uint32_t type = 0;
    std::string bytes;
};
struct ParsedKey {
    std::u16string path;
    std::vector<ParsedValue> values;
};
// Returns false (with a 1-based line number) when the text cannot be parsed.
bool parse(std::string_view text, std::vector<ParsedKey>& keys, int* badLine = nullptr);
std::string serialize(const std::vector<ParsedKey>& keys);
}  // namespace registry_format

}  // namespace kolu
