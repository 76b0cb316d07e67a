#pragma once
// The "Files" page: the logs (which tabs, where, and the error log) and the
// word completion switches with "Flush" and "Previous", which act on the
// dictionary at once.
#include "options/page_widget.h"

class QComboBox;

namespace kolu {

class Dictionary;

class FilesPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    FilesPage(Dictionary& dictionary, int scaleFactor, QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;

    QComboBox* whisperCount() const { return m_whispers; }
    void flush();
    void restorePrevious();

  private:
    Dictionary& m_dictionary;
    QComboBox* m_whispers;
};

}  // namespace kolu
