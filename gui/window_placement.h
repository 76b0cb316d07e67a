#pragma once
// The main window's place on the desktop, kept in the settings between runs:
// `winx`, `winy`, `winw`, `winh` (its normal geometry; a width of 0 means none
// yet) and `winstate` (0 normal, 1 maximised, 2 full screen).
#include <QRect>
#include <cstdint>

class QMainWindow;
class QScreen;

namespace kolu {

class Settings;

struct WindowPlacement {
    QRect normal;
    bool maximised = false;
    bool fullScreen = false;
};

// The remembered placement fitted onto the screens there are now, or a window
// of `firstSize` centred on the primary screen when none is remembered.
WindowPlacement rememberedPlacement(Settings& settings, QSize firstSize);
// Writes the window's normal geometry and state.
void rememberPlacement(Settings& settings, const QMainWindow& window, bool fullScreen);
// The screen that holds most of `area`.
QScreen* screenFor(const QRect& area);
// The scale factor for a window placed so with the "Text size" `textSize`
// (ui/display_scale.h).
int scaleFactorFor(const WindowPlacement& placement, std::int32_t textSize);

}  // namespace kolu
