#pragma once
// A tab's history in a vector, for paging tests: line i has id i + 1 and the
// text "line i" (padded with `padding` dots when asked).
#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"
#include "ui/line_source.h"

namespace kolu::test {

class FakeLineSource final : public LineSource {
  public:
    explicit FakeLineSource(std::size_t count, std::size_t padding = 0) : m_padding(padding) {
        while (lines.size() < count) {
            add();
        }
    }
    // Stores one more line and answers its id.
    std::int64_t add() {
        const auto id = static_cast<std::int64_t>(lines.size()) + 1;
        lines.push_back({id, text(id), static_cast<Colour>(id)});
        return id;
    }
    std::u16string text(std::int64_t id) const {
        return fromUtf8("line " + std::to_string(id - 1)) + std::u16string(m_padding, u'.');
    }

    std::vector<PagedLine> linesBefore(std::int64_t id, std::size_t count) override {
        ++reads;
        const auto end = std::ranges::lower_bound(lines, id, {}, &PagedLine::id);
        return {end - std::min<std::ptrdiff_t>(count, end - lines.begin()), end};
    }
    std::vector<PagedLine> linesAfter(std::int64_t id, std::size_t count) override {
        ++reads;
        const auto begin = std::ranges::upper_bound(lines, id, {}, &PagedLine::id);
        return {begin, begin + std::min<std::ptrdiff_t>(count, lines.end() - begin)};
    }

    std::vector<PagedLine> lines;
    int reads = 0;

  private:
    std::size_t m_padding;
};

}  // namespace kolu::test
