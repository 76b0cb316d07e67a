#pragma once
// One tab's lines in the history store, as the tab's text pages them back.
#include <string>

#include "history/history_store.h"
#include "ui/line_source.h"

namespace kolu {

class StoredTabLines final : public LineSource {
  public:
    // `store` outlives the source.
    StoredTabLines(HistoryStore& store, std::u16string network, std::u16string tab)
        : m_store(store), m_network(std::move(network)), m_tab(std::move(tab)) {}

    std::vector<PagedLine> linesBefore(std::int64_t id, std::size_t count) override {
        return paged(m_store.linesBefore(m_network, m_tab, id, count));
    }
    std::vector<PagedLine> linesAfter(std::int64_t id, std::size_t count) override {
        return paged(m_store.linesAfter(m_network, m_tab, id, count));
    }
    const std::u16string& network() const { return m_network; }

    static std::vector<PagedLine> paged(std::vector<StoredLine> stored) {
        std::vector<PagedLine> lines;
        lines.reserve(stored.size());
        for (StoredLine& line : stored) {
            lines.push_back(PagedLine{line.id, std::move(line.text), line.colour});
        }
        return lines;
    }

  private:
    HistoryStore& m_store;
    std::u16string m_network;
    std::u16string m_tab;
};

}  // namespace kolu
