#pragma once
// What several widget tests share: colours as Qt draws them, pixel counts, and
// the main window pointed at one loopback server.
#include <QColor>
#include <QImage>
#include <string>

#include "platform/files.h"
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

// The real window whose servers.txt names one server, logging in as `nick`.
class ServerWindowFixture : public WindowFixture {
  protected:
    void useServer(const std::string& host, const std::string& ports,
                   std::u16string_view nick = u"kolu") {
        writeFileAtomically(env.dir.file("servers.txt"), "Test\t" + host + "\t" + ports + "\t\r\n",
                            0600);
        env.settings.RegZapiszMsg(u"nick", nick, 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    }
    void useServer(int port) { useServer("127.0.0.1", std::to_string(port)); }
    int tab(std::u16string_view name) { return session().tabs.znajdz_zakladke(name); }
    bool tabShows(int index, std::u16string_view wanted) {
        const TextLines* text = index >= 0 ? session().tabs.pobierz_hwndtxtbiez(index) : nullptr;
        for (std::size_t i = 0; text && i < text->lineCount(); ++i) {
            if (text->line(i).text.find(wanted) != std::u16string_view::npos) {
                return true;
            }
        }
        return false;
    }
    std::size_t members(std::u16string_view channel) {
        const UserList* list = session().tabs.pobierz_hwndlist(channel);
        return list ? list->size() : 0;
    }
};

}  // namespace kolu::test
