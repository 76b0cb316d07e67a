#pragma once
// Names for screen readers: a control that shows no text of its own (a field, a
// list, a slider, a drawn swatch) is read by the label laid out just before it,
// as a sighted user reads the dialog.
class QWidget;

namespace kolu {

// Gives every control under `root` that has no accessible name the text of the
// label before it in its layout (a label's buddy first), without "&" and ":".
void nameControlsByTheirLabels(QWidget& root);

}  // namespace kolu
