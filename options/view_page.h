#pragma once
// The "View" page: the three preview lists (line classes, user-list colours,
// input colour) shown in the working colours, the font size of the text view and
// of the user list, and "Default". The colour swatches and palettes sit in the
// row left for them under the lists.
#include "options/page_widget.h"

class QComboBox;
class QListWidget;

namespace kolu {

class ViewPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    static constexpr int kLineClassList = 1301;
    static constexpr int kUserListColours = 1302;
    static constexpr int kInputColour = 1303;

    ViewPage(int scaleFactor, QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;
    void shown() override;

    // The Screen page's resolution changed: both previews follow (OpChangeFont).
    void setResolution(int vga);
    // "Default": the colours' defaults and both font sizes back to index 2.
    void OpKoloryDomyslne();

    QListWidget* list(int id) const;
    QComboBox* sizes() const { return m_sizes; }
    int fonts() const { return m_fonts; }

  private:
    // A tap on a preview list: which font size the size list now edits.
    void listUsed(int id);
    // The size list closed on `index`.
    void sizeChosen(int index);
    // OpChangeFont: the preview font of list `id` for size index `index`.
    void OpChangeFont(int id, int index);
    void paintColours();

    int m_scale;
    int m_vga = 0;
    int m_fonts = 34;
    int m_lastList = kLineClassList;
    ColourArray m_colours{};
    QListWidget* m_lineClasses;
    QListWidget* m_userColours;
    QListWidget* m_inputColour;
    QComboBox* m_sizes;
};

}  // namespace kolu
