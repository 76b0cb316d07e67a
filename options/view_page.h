#pragma once
// The "View" page: the colour editor (three preview lists in the working
// colours, the "Text:" and "Bg:" swatches with the quick palette and "More
// colors"), the font size of the text view and of the user list, and "Default".
#include "options/model/colour_editor.h"
#include "options/page_widget.h"

class QComboBox;
class QListWidget;

namespace kolu {

class ColourSwatch;
class QuickPalette;

class ViewPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    static constexpr int kLineClassList = ColourEditor::kLineClassList;
    static constexpr int kUserListColours = ColourEditor::kUserListColours;
    static constexpr int kInputColour = ColourEditor::kInputColour;

    ViewPage(int scaleFactor, QWidget* parent = nullptr);

    void load(const OptionsPages& pages) override;
    void store(OptionsPages& pages) const override;
    void shown() override;

    // The Screen page's resolution changed: both previews follow (OpChangeFont).
    void setResolution(int vga);
    // The Screen page's picture switched on: the background swatch has no use.
    void setPictureOn(bool on);
    // "Default": the colours' defaults and both font sizes back to index 2.
    void OpKoloryDomyslne();
    // "More colors": the "Select color" dialog for the open swatch's slot.
    void moreColours();

    const ColourEditor& editor() const { return m_editor; }
    QListWidget* list(int id) const;
    ColourSwatch* textSwatch() const { return m_textSwatch; }
    ColourSwatch* backgroundSwatch() const { return m_backgroundSwatch; }
    QuickPalette* palette() const { return m_palette; }
    QComboBox* sizes() const { return m_sizes; }
    QComboBox* textSize() const { return m_textSize; }
    int fonts() const { return m_fonts; }

  private:
    // A tap on item `item` of preview list `id`.
    void listUsed(int id, int item);
    // OpShowPalette: the quick palette opens above the swatch, or closes.
    void swatchTapped(ColourEditor::Swatch swatch);
    void storeColour(Colour colour);
    // The size list closed on `index`.
    void sizeChosen(int index);
    // OpChangeFont: the preview font of list `id` for size index `index`.
    void OpChangeFont(int id, int index);
    // The lists, swatches and palette as the editor's state says: each list's
    // items in their colours on its background (OpListViewRefresh), and the
    // palette hidden when the editor closed it (OpUkryjPalete).
    void refresh();

    int m_scale;
    int m_vga = 0;
    int m_fonts = 34;
    ColourEditor m_editor;
    QListWidget* m_lineClasses;
    QListWidget* m_userColours;
    QListWidget* m_inputColour;
    ColourSwatch* m_textSwatch;
    ColourSwatch* m_backgroundSwatch;
    QuickPalette* m_palette;
    QComboBox* m_sizes;
    QComboBox* m_textSize;
};

}  // namespace kolu
