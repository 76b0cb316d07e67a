#include "protocol/message_tags.h"

#include <algorithm>

namespace kolu {
namespace {

// A value as sent, with its escapes ("\:" for ';', "\s" for a blank, "\\", "\r",
// "\n") turned back into the characters; a backslash before anything else, or
// at the end, stands for nothing.
std::u16string unescape(std::u16string_view escaped) {
    std::u16string value;
    value.reserve(escaped.size());
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        char16_t c = escaped[i];
        if (c == u'\\') {
            if (++i == escaped.size()) {
                break;
            }
            c = escaped[i];
            switch (c) {
                case u':':
                    c = u';';
                    break;
                case u's':
                    c = u' ';
                    break;
                case u'r':
                    c = u'\r';
                    break;
                case u'n':
                    c = u'\n';
                    break;
                default:
                    break;
            }
        }
        value.push_back(c);
    }
    return value;
}

}  // namespace

std::u16string_view MessageTags::take(std::u16string_view line) {
    m_tags.clear();
    line.remove_prefix(line.empty() ? 0 : 1);  // the '@'
    const std::size_t blank = line.find(u' ');
    std::u16string_view section = line.substr(0, blank);
    line.remove_prefix(section.size());
    line.remove_prefix(std::min(line.find_first_not_of(u' '), line.size()));
    while (!section.empty()) {
        const std::size_t end = std::min(section.find(u';'), section.size());
        const std::u16string_view tag = section.substr(0, end);
        section.remove_prefix(std::min(end + 1, section.size()));
        const std::size_t equals = std::min(tag.find(u'='), tag.size());
        if (equals > 0) {
            const std::u16string_view value = tag.substr(std::min(equals + 1, tag.size()));
            m_tags.emplace_back(tag.substr(0, equals), unescape(value));
        }
    }
    return line;
}

const std::u16string* MessageTags::find(std::u16string_view key) const {
    for (auto tag = m_tags.rbegin(); tag != m_tags.rend(); ++tag) {
        if (tag->first == key) {
            return &tag->second;
        }
    }
    return nullptr;
}

}  // namespace kolu
