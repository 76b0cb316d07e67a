#include "gui/window_placement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include "settings/settings.h"
#include "ui/display_scale.h"

namespace kolu {
namespace {

ScreenRect toScreenRect(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

std::vector<ScreenRect> availableAreas() {
    std::vector<ScreenRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) {
        areas.push_back(toScreenRect(primary->availableGeometry()));
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) {
            areas.push_back(toScreenRect(screen->availableGeometry()));
        }
    }
    return areas;
}

}  // namespace

WindowPlacement rememberedPlacement(Settings& settings, QSize firstSize) {
    WindowPlacement placement;
    const std::int32_t width = settings.RegCzytajLONG(u"winw");
    const std::int32_t height = settings.RegCzytajLONG(u"winh");
    ScreenRect wanted;
    if (width > 0 && height > 0) {
        wanted = {settings.RegCzytajLONG(u"winx"), settings.RegCzytajLONG(u"winy"), width, height};
        const std::int32_t state = settings.RegCzytajLONG(u"winstate");
        placement.maximised = state == 1;
        placement.fullScreen = state == 2;
    } else if (QScreen* primary = QGuiApplication::primaryScreen()) {
        const QRect area = primary->availableGeometry();
        QRect first(QPoint(), firstSize.boundedTo(area.size()));
        first.moveCenter(area.center());
        wanted = toScreenRect(first);
    } else {
        wanted = {0, 0, firstSize.width(), firstSize.height()};
    }
    const ScreenRect fitted = fitOnScreens(wanted, availableAreas());
    placement.normal = QRect(fitted.x, fitted.y, fitted.width, fitted.height);
    return placement;
}

void rememberPlacement(Settings& settings, const QMainWindow& window, bool fullScreen) {
    const bool normal = !fullScreen && !window.isMaximized();
    const QRect area = normal ? window.geometry() : window.normalGeometry();
    if (area.isValid()) {
        settings.RegZapiszLONG(u"winx", area.x());
        settings.RegZapiszLONG(u"winy", area.y());
        settings.RegZapiszLONG(u"winw", area.width());
        settings.RegZapiszLONG(u"winh", area.height());
    }
    settings.RegZapiszLONG(u"winstate", fullScreen ? 2 : window.isMaximized() ? 1 : 0);
}

QScreen* screenFor(const QRect& area) {
    QScreen* best = QGuiApplication::primaryScreen();
    long long bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(area);
        if (const long long size = 1LL * common.width() * common.height(); size > bestArea) {
            best = screen;
            bestArea = size;
        }
    }
    return best;
}

int scaleFactorFor(const WindowPlacement& placement, std::int32_t textSize) {
    const QScreen* screen = screenFor(placement.normal);
    if (!screen) {
        return 1;
    }
    // The handheld's full-screen window is as big as its screen.
    const QSize window = placement.maximised || placement.fullScreen
                             ? screen->availableGeometry().size()
                             : placement.normal.size();
    return scaleFactorFor(screen->logicalDotsPerInch(), toScreenRect(screen->geometry()),
                          window.width(), window.height(), textSize);
}

}  // namespace kolu
