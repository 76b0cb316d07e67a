#pragma once
// The "Sounds" page: sounds on or off, the thirteen events with their files,
// the file list of the installation folder's "*.wav" and "Play".
#include "options/page_widget.h"

class QComboBox;
class QTreeWidget;

namespace kolu {

class Settings;
class SoundPlayer;

class SoundsPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    SoundsPage(Settings& settings, SoundPlayer& sound, int scaleFactor, QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;
    void shown() override;

    QTreeWidget* events() const { return m_events; }
    QComboBox* files() const { return m_files; }
    // TestujDzwiek: plays the chosen file; false when none is chosen.
    bool TestujDzwiek();

  private:
    void OpDzwiekDoCombo();
    void OpComboDoDzwieku();
    void OpDzwiekiWlacz();

    Settings& m_settings;
    SoundPlayer& m_sound;
    QTreeWidget* m_events;
    QComboBox* m_files;
};

}  // namespace kolu
