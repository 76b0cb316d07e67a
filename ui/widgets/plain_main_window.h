#pragma once
// A plain main window: the status lines in their colours on the text view's
// background. It stands until the tabbed main window replaces it.
#include <QMainWindow>

#include "ui/colour_table.h"
#include "ui/line_printer.h"

class QTextEdit;

namespace kolu {

class PlainMainWindow final : public QMainWindow, public LinePrinter {
    Q_OBJECT
  public:
    explicit PlainMainWindow(const ColourTable& colours, QWidget* parent = nullptr);

    int addLine(std::u16string_view target, std::u16string_view text, Colour colour) override;
    // The lines shown, one per line, for checks.
    QString plainText() const;

  private:
    QTextEdit* m_view;
};

}  // namespace kolu
