#pragma once
// The "Info" page: time stamps, the part and quit messages, and the three
// special lists (ignores, highlights, notify), one sub-page each, edited with
// Add and Del.
#include <array>

#include "options/page_widget.h"

class QComboBox;
class QStackedWidget;
class QTabBar;

namespace kolu {

class Host;

class InfoPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    InfoPage(Host& host, int scaleFactor, QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;

    QTabBar* subPages() const { return m_subPages; }
    QComboBox* listBox(int subPage) const { return m_boxes[static_cast<std::size_t>(subPage)]; }
    const std::vector<std::u16string>& entries(int subPage) const {
        return m_lists[static_cast<std::size_t>(subPage)];
    }

    void addEntry();
    void deleteEntry();

  private:
    void showList(int subPage);

    Host& m_host;
    QTabBar* m_subPages;
    QStackedWidget* m_stack;
    std::array<QComboBox*, kSpecialListCount> m_boxes{};
    std::array<std::vector<std::u16string>, kSpecialListCount> m_lists;
};

}  // namespace kolu
