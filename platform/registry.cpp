// The settings store's registry behaviour over its file: keys and values kept in
// memory in their insertion order, handles, result codes, and when to re-read or
// commit the file (see registry_file.cpp for the disk side, registry_format.cpp
// for the text).
#include "platform/registry.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/files.h"
#include "platform/registry_internal.h"
#include "platform/text.h"

namespace kolu {

namespace {

using registry_detail::FileStamp;

// Keys and value names compare without regard to case but keep their first spelling.
struct FoldHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view text) const noexcept {
        std::size_t hash = 14695981039346656037ull;
        for (char16_t c : text) {
            hash = (hash ^ foldCase(c)) * 1099511628211ull;
        }
        return hash;
    }
};
struct FoldEqual {
    using is_transparent = void;
    bool operator()(std::u16string_view a, std::u16string_view b) const {
        return equalsIgnoreCase(a, b);
    }
};
template <typename T>
using FoldMap = std::unordered_map<std::u16string, T, FoldHash, FoldEqual>;

// One named value: its type and its bytes exactly as written.
struct Entry {
    std::u16string name;
    std::uint32_t type = 0;
    std::string bytes;
};

// One key and its values in the order they were first written (the file's order).
struct Key {
    std::u16string path;  // relative to HKEY_LOCAL_MACHINE; "" is the root
    std::vector<Entry> values;
    FoldMap<std::size_t> index;  // name -> position in values
};

// An open key. Dirty once written through, so closing it commits the store.
struct Handle {
    int id = 0;
    Key* key = nullptr;  // null once a re-read file no longer has the key
    bool dirty = false;
};

std::u16string_view trimSeparators(std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') {
        path.remove_prefix(1);
    }
    while (!path.empty() && path.back() == u'\\') {
        path.remove_suffix(1);
    }
    return path;
}

// A key name the file can hold: no empty parts, control characters or lone surrogates.
bool validKeyPath(std::u16string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (c < 0x20 || (c == u'\\' && i + 1 < path.size() && path[i + 1] == u'\\')) {
            return false;
        }
        if (isHighSurrogate(c)) {
            if (i + 1 == path.size() || !isLowSurrogate(path[i + 1])) {
                return false;
            }
            ++i;
        } else if (isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Everything the store holds in memory: the keys (owned, found by path without
// regard to case), the open handles, and what is known about the file.
struct RegistryStore::State {
    std::vector<std::unique_ptr<Key>> keys;  // insertion order; keys[0] is the root
    FoldMap<Key*> byPath;
    Key* lastFound = nullptr;     // the key find() answered last
    std::vector<Handle> handles;  // few are open at once
    int nextId = 1;
    bool loaded = false;
    FileStamp stamp;  // of the file the keys were read from or written to
    std::chrono::steady_clock::time_point lookedAt;  // when stamp was last compared
    bool unsaved = false;                            // memory holds changes the file does not
    int blockedError = 0;  // a file exists that can't be read or moved aside: never replace it

    void clear() {
        lastFound = nullptr;
        keys.clear();
        byPath.clear();
        addKey(u"");
    }
    Key* addKey(std::u16string_view path) {
        keys.push_back(std::make_unique<Key>());
        Key* key = keys.back().get();
        key->path = path;
        byPath.emplace(key->path, key);
        return key;
    }
    Key* find(std::u16string_view path) {
        // A busy session opens the same key, spelled the same way, several times a line.
        if (lastFound && lastFound->path == path) {
            return lastFound;
        }
        const auto it = byPath.find(path);
        if (it == byPath.end()) {
            return nullptr;
        }
        lastFound = it->second;
        return lastFound;
    }
    // The key, created with its missing parents (parents first, so the file reads in order).
    Key* ensureKey(std::u16string_view path) {
        if (Key* key = find(path)) {
            return key;
        }
        for (std::size_t i = path.find(u'\\'); i != std::u16string_view::npos;
             i = path.find(u'\\', i + 1)) {
            if (!find(path.substr(0, i))) {
                addKey(path.substr(0, i));
            }
        }
        return addKey(path);
    }
    // Returns whether anything changed.
    static bool put(Key& key, std::u16string_view name, std::uint32_t type, std::string bytes) {
        const auto it = key.index.find(name);
        if (it == key.index.end()) {
            key.index.emplace(std::u16string(name), key.values.size());
            key.values.push_back(Entry{std::u16string(name), type, std::move(bytes)});
            return true;
        }
        Entry& entry = key.values[it->second];
        if (entry.type == type && entry.bytes == bytes) {
            return false;
        }
        entry.type = type;
        entry.bytes = std::move(bytes);
        return true;
    }
    void load(std::vector<registry_format::ParsedKey>& parsed) {
        clear();
        for (registry_format::ParsedKey& from : parsed) {
            Key* key = ensureKey(from.path);
            for (registry_format::ParsedValue& value : from.values) {
                put(*key, value.name, value.type, std::move(value.bytes));  // a repeat wins
            }
        }
    }
    std::vector<registry_format::ParsedKey> snapshot() const {
        std::vector<registry_format::ParsedKey> out;
        for (const auto& key : keys) {
            if (key->path.empty() && key->values.empty()) {
                continue;  // the root exists anyway
            }
            registry_format::ParsedKey& to = out.emplace_back();
            to.path = key->path;
            for (const Entry& entry : key->values) {
                to.values.push_back({entry.name, entry.type, entry.bytes});
            }
        }
        return out;
    }
    Handle* findHandle(int id) {
        for (Handle& handle : handles) {
            if (handle.id == id) {
                return &handle;
            }
        }
        return nullptr;
    }
};

RegistryStore::RegistryStore(std::string filePath, std::chrono::milliseconds recheckAfter)
    : m_path(std::move(filePath)),
      m_recheckAfter(recheckAfter),
      m_state(std::make_unique<State>()) {
    m_state->clear();
    // Left-overs of a client killed while saving; nothing else reads them.
    registry_detail::removeStaleTemporaries(m_path);
    refreshFromDisk(true);
}

RegistryStore::~RegistryStore() {
    // Writes through a key never closed are still the user's settings.
    if (m_state->unsaved) {
        commit();
    }
}

void RegistryStore::refreshFromDisk(bool always) {
    State& s = *m_state;
    const auto clockNow = std::chrono::steady_clock::now();
    if (!always && s.loaded && clockNow - s.lookedAt < m_recheckAfter) {
        return;
    }
    s.lookedAt = clockNow;
    FileStamp now = registry_detail::stampOf(m_path);
    // With unsaved changes the next commit replaces the file anyway: last writer wins.
    if ((s.loaded && now == s.stamp) || s.unsaved) {
        return;
    }
    std::vector<std::u16string> handlePaths;
    for (const Handle& handle : s.handles) {
        handlePaths.push_back(handle.key ? handle.key->path : std::u16string());
    }
    std::vector<registry_format::ParsedKey> parsed;
    s.blockedError = 0;
    if (now.error == 0) {
        std::string text;
        const int error = readWholeFile(m_path, text);
        if (error != 0 && error != ENOENT) {
            s.blockedError = error;
        } else if (error == 0 && !registry_format::parse(text, parsed)) {
            parsed.clear();
            std::string keptAs;
            s.blockedError = registry_detail::keepAside(m_path, keptAs);
            if (s.blockedError == 0) {
                m_corruptKeptAs = keptAs;
            }
            now = registry_detail::stampOf(m_path);
        }
    } else if (now.error != ENOENT) {
        s.blockedError = now.error;
    }
    s.loaded = true;
    s.stamp = now;
    s.load(parsed);
    for (std::size_t i = 0; i < s.handles.size(); ++i) {
        s.handles[i].key = s.handles[i].key ? s.find(handlePaths[i]) : nullptr;
    }
}

long RegistryStore::commit() {
    State& s = *m_state;
    if (s.blockedError != 0) {
        return registry_detail::resultFromErrno(s.blockedError);
    }
    const int error = registry_detail::commitFile(m_path, registry_format::serialize(s.snapshot()));
    if (error != 0) {
        return registry_detail::resultFromErrno(error);
    }
    s.unsaved = false;
    s.stamp = registry_detail::stampOf(m_path);
    return kErrorSuccess;
}

bool RegistryStore::hasUnsaved() const {
    return m_state->unsaved;
}

long RegistryStore::commitUnsaved() {
    return m_state->unsaved ? commit() : kErrorSuccess;
}

void RegistryStore::discardUnsaved() {
    State& s = *m_state;
    if (!s.unsaved) {
        return;
    }
    s.unsaved = false;
    s.loaded = false;
    refreshFromDisk(true);
}

long RegistryStore::openOrCreate(std::u16string_view path, RegKey& out, bool create,
                                 bool* created) {
    State& s = *m_state;
    out.id = 0;
    if (created) {
        *created = false;
    }
    refreshFromDisk(create);
    path = trimSeparators(path);
    Key* key = s.find(path);
    const bool isNew = key == nullptr;
    if (isNew) {
        if (!create) {
            return kErrorFileNotFound;
        }
        if (!validKeyPath(path)) {
            return kErrorInvalidParameter;
        }
        key = s.ensureKey(path);
        s.unsaved = true;
        if (created) {
            *created = true;
        }
    }
    const int id = s.nextId;
    s.nextId = s.nextId == INT_MAX ? 1 : s.nextId + 1;
    s.handles.push_back(Handle{id, key, isNew});
    out.id = id;
    return kErrorSuccess;
}

long RegistryStore::openKey(std::u16string_view path, RegKey& out) {
    return openOrCreate(path, out, false, nullptr);
}

long RegistryStore::createKey(std::u16string_view path, RegKey& out, bool* created) {
    return openOrCreate(path, out, true, created);
}

long RegistryStore::queryValue(RegKey key, std::u16string_view name, std::uint32_t* type,
                               void* data, std::uint32_t* size) {
    Handle* handle = m_state->findHandle(key.id);
    if (!handle) {
        return kErrorInvalidHandle;
    }
    if (data && !size) {
        return kErrorInvalidParameter;
    }
    if (!handle->key) {
        return kErrorFileNotFound;
    }
    const auto it = handle->key->index.find(name);
    if (it == handle->key->index.end()) {
        return kErrorFileNotFound;
    }
    const Entry& entry = handle->key->values[it->second];
    const auto needed = static_cast<std::uint32_t>(entry.bytes.size());
    if (type) {
        *type = entry.type;
    }
    if (data && *size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    if (data && needed > 0) {
        std::memcpy(data, entry.bytes.data(), needed);
    }
    if (size) {
        *size = needed;
    }
    return kErrorSuccess;
}

long RegistryStore::setValue(RegKey key, std::u16string_view name, std::uint32_t type,
                             const void* data, std::uint32_t size) {
    Handle* handle = m_state->findHandle(key.id);
    if (!handle) {
        return kErrorInvalidHandle;
    }
    if (size > registry_detail::kMaxValueBytes || (!data && size > 0)) {
        return kErrorInvalidParameter;
    }
    // A hand edit made since the last look must not be overwritten by a stale copy.
    refreshFromDisk(true);
    if (!handle->key) {
        return kErrorFileNotFound;
    }
    std::string bytes = size > 0 ? std::string(static_cast<const char*>(data), size) : "";
    if (State::put(*handle->key, name, type, std::move(bytes))) {
        m_state->unsaved = true;
    }
    handle->dirty = true;
    return kErrorSuccess;
}

long RegistryStore::closeKey(RegKey key) {
    State& s = *m_state;
    Handle* handle = s.findHandle(key.id);
    if (!handle) {
        return kErrorInvalidHandle;
    }
    const bool dirty = handle->dirty;
    *handle = s.handles.back();
    s.handles.pop_back();
    // A failed commit leaves the changes unsaved; the next dirty close tries again.
    return dirty && s.unsaved ? commit() : kErrorSuccess;
}

}  // namespace kolu
