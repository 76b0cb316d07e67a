#pragma once
// What screen readers find in the hand-painted views: a text view and a user
// list are each a list whose items are the lines or rows in view (plain text,
// without formatting codes), and a text view's newest line is announced as it
// arrives while its tab is shown.
namespace kolu {

class ColorEdit;

// Registers the views' accessible interfaces with Qt; once, however often called.
void installViewAccessibility();
// Announces the newest line each time lines are added to `view` while it is shown.
void announceNewLines(ColorEdit& view);

}  // namespace kolu
