#pragma once
// The quick palette (OpTworzPalete): the 16 colours in button order (ids 601
// to 616), then "More colors" (1351). Hidden until a swatch opens it.
#include <QFrame>

namespace kolu {

class QuickPalette final : public QFrame {
    Q_OBJECT
  public:
    static constexpr int kFirstButtonId = 601;
    static constexpr int kMoreColoursId = 1351;

    QuickPalette(int scaleFactor, QWidget* parent = nullptr);

  signals:
    void colourChosen(int index);
    void moreColours();
};

}  // namespace kolu
