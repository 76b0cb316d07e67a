#pragma once
// The "Screen" page: the background picture (on or off, which file, how far it
// is lightened) and the resolution ("QVGA" scales sizes, "Real-VGA" does not).
#include "options/page_widget.h"

class QComboBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace kolu {

class ScreenPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    explicit ScreenPage(QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;

    // OpKtoryRadio over "QVGA" and "Real-VGA": 0 or 1.
    int resolution() const;
    // "Blend: " + position x 10 + "%".
    static QString OpBlendOpis(int position);

  signals:
    void resolutionChanged(int vga);
    // "Enable" switched the picture on or off.
    void pictureSwitched(bool on);

  private:
    // OpBitmapaWlacz: the picture controls follow "Enable".
    void OpBitmapaWlacz();

    QComboBox* m_pictures;
    QSlider* m_blend;
    QLabel* m_blendLabel;
    QRadioButton* m_qvga;
    QRadioButton* m_realVga;
    // A stored picture the list does not hold (its file is gone): kept unless
    // the user picks another.
    std::u16string m_unlistedPicture;
};

}  // namespace kolu
