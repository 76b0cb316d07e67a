#pragma once
// The three windows of the "Select color" dialog: the colour field (BigPal, 24 x
// 10 cells), the shade strip of the picked colour (GreyPal, 16 cells) and the
// old/new preview (OldNew). Sizes are in the dialog's pixels: `pixelFactor` is
// the scale factor, or 1 in Real-VGA; taps are divided by the same factor, so a
// tap anywhere on a cell picks that cell.
#include <QWidget>

#include "options/model/colour_editor.h"

namespace kolu {

class BigPal final : public QWidget {
    Q_OBJECT
  public:
    explicit BigPal(int pixelFactor, QWidget* parent = nullptr);

    int selectedColumn() const { return m_column; }
    int selectedRow() const { return m_row; }
    Colour selectedColour() const { return OpKolorKomorki(m_column, m_row); }
    // OpWybierzHiCol: selects the cell and announces its colour.
    void select(int column, int row);
    QSize sizeHint() const override;

  signals:
    void picked(Colour colour);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int m_factor;
    int m_column;
    int m_row;
};

class GreyPal final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kInitialCell = 7;  // the base colour itself
    explicit GreyPal(int pixelFactor, QWidget* parent = nullptr);

    // A new base colour: the selected cell stays where it was.
    void setBase(Colour base);
    void select(int cell);
    int selectedCell() const { return m_cell; }
    Colour selectedColour() const { return m_shades[static_cast<std::size_t>(m_cell)]; }
    QSize sizeHint() const override;

  signals:
    void picked(Colour colour);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int m_factor;
    int m_cell = kInitialCell;
    std::array<Colour, kShadeCount> m_shades{};
};

class OldNew final : public QWidget {
    Q_OBJECT
  public:
    OldNew(Colour old, int pixelFactor, QWidget* parent = nullptr);

    void setNew(Colour colour);
    Colour newColour() const { return m_new; }
    QSize sizeHint() const override;

  signals:
    void newChanged(Colour colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Colour m_old;
    Colour m_new = 0;
    int m_factor;
};

}  // namespace kolu
