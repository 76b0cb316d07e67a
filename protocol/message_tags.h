#pragma once
// The tags an inbound line may begin with ("@key=value;key2 :src CMD ..."): read
// and removed before the line is tokenised, so the handlers see the line as if
// it had come without them, and kept beside it for whoever wants to read them.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kolu {

class MessageTags {
  public:
    // Replaces the tags with those of the section `line` starts with (after its
    // '@') and returns the rest of the line, the blanks after the section
    // skipped; a line that is only a tag section leaves nothing. Tags with an
    // empty name are dropped, values are unescaped, names are kept as written.
    std::u16string_view take(std::u16string_view line);

    // The value of the tag named `key`, or nullptr when the line has no such tag.
    // A tag given twice has its later value; one without a value has an empty one.
    const std::u16string* find(std::u16string_view key) const;

    void clear() { m_tags.clear(); }
    bool empty() const { return m_tags.empty(); }

  private:
    // In the line's order, repeats included: lookups search from the end.
    std::vector<std::pair<std::u16string, std::u16string>> m_tags;
};

}  // namespace kolu
