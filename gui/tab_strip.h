#pragma once
// TabStrip: the tab control of the main window. It fills the area above the
// input line; its top row holds one label per TabRegistry entry (in order), and
// the owner places each tab's text view and user list below that row, as the
// strip's children. It observes the registry, paints every label itself from
// the two tab pictures (RysujZakladke) in the tab's activity colour, and turns
// the user's choice of a tab into registry.select + ZmienZakladke.
#include <QImage>
#include <QRect>
#include <QWidget>

#include "ui/tab_registry.h"

class QTabBar;

namespace kolu {

class TabLabelRow;

class TabStrip final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPictureSize = 20;  // both tab pictures are 20 x 20
    static constexpr int kCapWidth = 8;      // columns 0-7 and 12-19
    static constexpr int kMiddleWidth = 4;   // columns 8-11, stretched
    static constexpr int kFontSize = 13;     // unscaled pixel height of the labels
    static constexpr int kLabelMargin = 6;   // unscaled pixels beside a label

    // Becomes the registry's observer and shows the tabs it already holds; the
    // registry must outlive the strip.
    explicit TabStrip(TabRegistry& tabs, QWidget* parent = nullptr);
    ~TabStrip() override;

    // The scale factor, and the setting VGA (non-zero: sizes stay unscaled). Sets
    // the label font (13 x scale factor pixels, 13 with VGA) and the row height.
    void setScale(int scaleFactor, bool vga);
    int scaleFactor() const { return m_scale; }
    bool vga() const { return m_vga; }
    // Pixel height of the label font's cells; the label row is 4 pixels taller,
    // and the tab windows start just below it.
    int fontSize() const { return m_fontSize; }
    int labelRowHeight() const { return m_fontSize + 4; }

    // What the label row shows, for the owner and for checks.
    int count() const;
    QString tabText(int index) const;
    // Tab `index`'s label in the strip's coordinates.
    QRect tabRect(int index) const;
    QTabBar* labelRow() const;

    // The tab pictures in use (":/ui/tab_selected.bmp" and ":/ui/tab.bmp", or a
    // plain stand-in when the resources are missing).
    const QImage& selectedPicture() const { return m_selectedPicture; }
    const QImage& otherPicture() const { return m_otherPicture; }

  signals:
    // The registry added a tab at `index` (its record exists): make its windows.
    void tabAdded(int index);
    // The tab at `index` is about to go; its record is still valid while the
    // signal is delivered (use a direct connection).
    void tabAboutToBeRemoved(int index);
    // ZmienZakladke: show the windows of the selected tab `index`.
    void tabShown(int index);
    // A label was tapped, or the registry asked for it: focus the input line.
    void focusInputRequested();
    // A right click on the label row; `index` is the tab under it (-1 for none).
    void contextMenuRequested(int index, QPoint globalPosition);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    friend class TabLabelRow;

    // A separate object because QTabBar has a virtual tabRemoved(int) of its own.
    class RegistryObserver final : public TabObserver {
      public:
        explicit RegistryObserver(TabStrip& strip) : m_strip(strip) {}
        void tabAdded(int index) override { m_strip.onTabAdded(index); }
        void tabRemoved(int index) override { m_strip.onTabRemoved(index); }
        void selectionChanged(int index) override { m_strip.onSelectionChanged(index); }
        void labelColourChanged(int index) override { m_strip.onLabelColourChanged(index); }
        void focusInputRequested() override { emit m_strip.focusInputRequested(); }

      private:
        TabStrip& m_strip;
    };

    void onTabAdded(int index);
    void onTabRemoved(int index);
    void onSelectionChanged(int index);
    void onLabelColourChanged(int index);
    void onCurrentChanged(int index);
    void syncCurrent();
    // Sizes are multiplied by the scale factor unless VGA is set.
    int sizeFactor() const { return m_vga ? 1 : m_scale; }
    // RysujZakladke: the picture composed for a tab `width` pixels wide.
    QImage composeTab(bool selected, int width) const;
    // Paints the label row: the strip's colour and base line, then the tabs.
    void paintLabels(QPainter& painter, const QRect& dirty);
    void paintTab(QPainter& painter, int index);

    TabRegistry& m_tabs;
    RegistryObserver m_observer{*this};
    TabLabelRow* m_row = nullptr;
    QImage m_selectedPicture;
    QImage m_otherPicture;
    QImage m_emptyColumn;  // 1 x 20: the strip's colour over its base line
    int m_scale = 1;
    bool m_vga = false;
    int m_fontSize = kFontSize;
    // Set while the strip itself changes the label row, so the changes are not
    // taken for the user's.
    bool m_syncing = false;
};

}  // namespace kolu
