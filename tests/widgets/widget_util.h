#pragma once
// Colours as Qt draws them, pixel counts, and the window pointed at one server.
#include <QColor>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "gui/input_line.h"
#include "platform/files.h"
#include "tests/support/menu_choice.h"
#include "tests/support/window_fixture.h"
#include "ui/text_lines.h"
#include "ui/user_list.h"

namespace kolu::test {

inline QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

// Pixels of `area` (all of `image` when empty) that are exactly `colour`.
inline int countColour(const QImage& image, const QColor& colour, QRect area = {}) {
    area = area.isEmpty() ? image.rect() : area.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// A picture whose pixel colours tell their coordinates: (x, y, 77).
inline QImage coordinatePicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixelColor(x, y, QColor(x, y, 77));
        }
    }
    return picture;
}

// A right click at `point` of `target`, answered with item `id`.
inline std::shared_ptr<MenuSeen> rightClick(QWidget* target, QPoint point, int id) {
    auto seen = std::make_shared<MenuSeen>();
    chooseFromNextMenu(id, seen);
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, target->mapToGlobal(point));
    QApplication::sendEvent(target, &event);
    return seen;
}

// The real window whose servers.txt names one server, logging in as kolu.
class ServerWindowFixture : public WindowFixture {
  protected:
    void useServer(int port) {
        writeFileAtomically(env.dir.file("servers.txt"),
                            "Test\t127.0.0.1\t" + std::to_string(port) + "\t\r\n", 0600);
        env.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    }
    int tab(std::u16string_view name) { return session().tabs.znajdz_zakladke(name); }
    std::vector<std::u16string> linesOf(int index) {
        std::vector<std::u16string> out;
        const TextLines* text = index >= 0 ? session().tabs.pobierz_hwndtxtbiez(index) : nullptr;
        for (std::size_t i = 0; text && i < text->lineCount(); ++i) {
            out.emplace_back(text->line(i).text);
        }
        return out;
    }
    bool tabShows(int index, std::u16string_view wanted) {
        return std::ranges::any_of(linesOf(index), [&](const std::u16string& line) {
            return line.find(wanted) != std::u16string::npos;
        });
    }
    std::size_t members(std::u16string_view channel) {
        const UserList* list = session().tabs.pobierz_hwndlist(channel);
        return list ? list->size() : 0;
    }
    QLineEdit* edit() { return window->inputLine().editControl(); }
    // The window active and its input line focused, as a user types.
    void startTyping() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        edit()->setFocus();
    }
};

}  // namespace kolu::test
