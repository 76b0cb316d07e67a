// The ignore, highlight and notify lists: one string of entries, each followed by
// exactly one blank, compared without regard to case.
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {
namespace {

// Calls `visit(position, begin, length)` for each blank-terminated entry until it returns true.
template <typename Visit>
bool forEachEntry(std::u16string_view list, Visit visit) {
    std::size_t begin = 0;
    int position = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] != u' ') {
            continue;
        }
        if (visit(position, begin, i - begin)) {
            return true;
        }
        ++position;
        begin = i + 1;
    }
    return false;
}

}  // namespace

int Settings::RegSpListSzukaj(std::u16string_view name, std::u16string_view list) {
    int found = -1;
    forEachEntry(list, [&](int position, std::size_t begin, std::size_t length) {
        if (length == name.size() && equalsIgnoreCase(list.substr(begin, length), name)) {
            found = position;
            return true;
        }
        return false;
    });
    return found;
}

// A missing list reads as empty. Any other failure (a list too long for its buffer,
// a value of the wrong type) makes the list unusable for a change, so that a
// write-back never replaces entries it could not read.
bool Settings::readSpecialList(std::u16string_view listName, std::u16string& list,
                               const char16_t* label) {
    list.clear();
    RegKey key;
    long result = m_store.openKey(kSettingsKey, key);
    m_log.LogRegError(result, u"RegOpenKeyEx", label);
    if (result != kErrorSuccess) {
        return false;
    }
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    result = m_store.queryValue(key, listName, &type, nullptr, &size);
    m_log.LogRegError(m_store.closeKey(key), u"RegCloseKey", label);
    if (result == kErrorFileNotFound) {
        return true;
    }
    if (result != kErrorSuccess || type != kRegSz || size > kSpecialListSize) {
        m_log.LogRegError(result == kErrorSuccess ? kErrorMoreData : result, u"RegQueryValueEx",
                          label);
        return false;
    }
    return RegCzytajMsg(listName, list, kSpecialListSize);
}

int Settings::RegSpListJest(std::u16string_view name, std::u16string_view enableName,
                            std::u16string_view listName) {
    if (!enableName.empty() && !switchIsOn(enableName, RegCzytajLONG(enableName))) {
        return -1;
    }
    std::u16string list;
    RegCzytajMsg(listName, list, kSpecialListSize);
    return RegSpListSzukaj(name, list);
}

int Settings::RegSpListDodaj(std::u16string_view name, std::u16string_view listName) {
    RegZapiszLONG(u"en_ignore", 1);
    std::u16string list;
    if (!readSpecialList(listName, list, u"RegSpListDodaj")) {
        return 1;
    }
    if (RegSpListSzukaj(name, list) >= 0) {
        return 1;
    }
    // A hand-edited list may end without its blank: end that piece first, or the
    // name would be glued onto it.
    const bool unterminated = !list.empty() && list.back() != u' ';
    if (list.size() + unterminated + name.size() + 1 < kSpecialListLimit) {
        if (unterminated) {
            list += u' ';
        }
        list += name;
        list += u' ';
        RegZapiszMsg(listName, list, kSpecialListSize);
    }
    return 1;
}

int Settings::RegSpListUsun(std::u16string_view name, std::u16string_view listName) {
    std::u16string list;
    if (!readSpecialList(listName, list, u"RegSpListUsun")) {
        return 1;
    }
    bool removed = forEachEntry(list, [&](int, std::size_t begin, std::size_t length) {
        if (length == name.size() &&
            equalsIgnoreCase(std::u16string_view(list).substr(begin, length), name)) {
            list.erase(begin, length + 1);
            return true;
        }
        return false;
    });
    if (removed) {
        RegZapiszMsg(listName, list, kSpecialListSize);
    }
    return 1;
}

}  // namespace kolu
