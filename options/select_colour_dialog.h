#pragma once
// "Select color": a colour from the field, a shade of it from the strip, shown
// under the old colour with its red, green and blue; "Accept" hands the new
// colour back, "Cancel" nothing.
#include <QDialog>

#include "settings/colour_table.h"

class QLineEdit;
class QPushButton;

namespace kolu {

class BigPal;
class GreyPal;
class OldNew;

class SelectColourDialog final : public QDialog {
    Q_OBJECT
  public:
    // `pixelFactor`: the scale factor, or 1 in Real-VGA.
    SelectColourDialog(Colour old, int pixelFactor, QWidget* parent = nullptr);

    Colour chosen() const;
    BigPal* field() const { return m_field; }
    GreyPal* shades() const { return m_shades; }
    OldNew* preview() const { return m_preview; }
    QPushButton* acceptButton() const { return m_accept; }

  private:
    BigPal* m_field;
    GreyPal* m_shades;
    OldNew* m_preview;
    QPushButton* m_accept;
};

}  // namespace kolu
