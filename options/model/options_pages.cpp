#include "options/model/options_pages.h"

#include <algorithm>

#include "platform/text.h"
#include "settings/settings.h"

namespace kolu {

const std::u16string& OptionsPages::text(int id) const {
    static const std::u16string empty;
    const auto it = texts.find(id);
    return it == texts.end() ? empty : it->second;
}

std::vector<std::u16string> splitSpecialList(std::u16string_view list) {
    std::vector<std::u16string> entries;
    std::size_t begin = 0;
    for (std::size_t blank = list.find(u' '); blank != std::u16string_view::npos;
         blank = list.find(u' ', begin)) {
        entries.emplace_back(list.substr(begin, blank - begin));
        begin = blank + 1;
    }
    return entries;
}

std::u16string joinSpecialList(const std::vector<std::u16string>& entries) {
    std::u16string list;
    for (const std::u16string& entry : entries) {
        list += entry;
        list += u' ';
    }
    return list;
}

SpecialListAdd addSpecialListEntry(std::vector<std::u16string>& entries, std::u16string entry) {
    if (entry.empty() || entry.find(u' ') != std::u16string::npos) {
        return SpecialListAdd::Invalid;
    }
    const bool present = std::any_of(entries.begin(), entries.end(), [&](const std::u16string& e) {
        return equalsIgnoreCase(e, entry);
    });
    if (present) {
        return SpecialListAdd::Duplicate;
    }
    std::size_t length = 0;
    for (const std::u16string& e : entries) {
        length += e.size() + 1;
    }
    // The stored list must stay under its limit, or saving would cut entries off.
    if (length + entry.size() + 1 >= kSpecialListLimit) {
        return SpecialListAdd::Full;
    }
    entries.push_back(std::move(entry));
    return SpecialListAdd::Added;
}

}  // namespace kolu
