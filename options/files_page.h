#pragma once
// The "Files" page: the logs (which tabs, where, and the error log) and the
// word completion switches with "Flush" and "Previous", which act on the
// dictionary at once, and the stored history with "Clear history".
#include <functional>

#include "options/page_widget.h"

class QComboBox;

namespace kolu {

class Dictionary;

class FilesPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    // `clearHistory` empties the stored history (empty: no history, the button is off).
    FilesPage(Dictionary& dictionary, std::function<void()> clearHistory, int scaleFactor,
              QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;

    QComboBox* whisperCount() const { return m_whispers; }
    void flush();
    void restorePrevious();
    void clearHistory();

  private:
    Dictionary& m_dictionary;
    std::function<void()> m_clearHistory;
    QComboBox* m_whispers;
    QComboBox* m_historyDays;
};

}  // namespace kolu
