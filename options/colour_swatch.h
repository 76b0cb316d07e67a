#pragma once
// The "Text:" and "Bg:" swatches of the View page (OpKontrolkaProc): the whole
// area in the colour of their slot, no caret; a click (or Space, for keyboard
// users) toggles the quick palette above them.
#include <QWidget>

#include "settings/colour_table.h"

namespace kolu {

class ColourSwatch final : public QWidget {
    Q_OBJECT
  public:
    ColourSwatch(int id, int scaleFactor, QWidget* parent = nullptr);

    void setColour(Colour colour);
    Colour colour() const { return m_colour; }
    QSize sizeHint() const override;

  signals:
    void tapped();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    Colour m_colour = 0;
    int m_scale;
};

}  // namespace kolu
