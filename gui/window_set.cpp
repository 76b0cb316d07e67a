#include "gui/window_set.h"

#include <QScreen>
#include <algorithm>
#include <cerrno>

#include "platform/error_text.h"
#include "platform/text.h"
#include "settings/colour_table.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {

WindowSet::WindowSet(const MainWindowServices& services, std::string dataFolder, QObject* parent)
    : QObject(parent), m_services(services), m_dataFolder(std::move(dataFolder)) {}

WindowSet::~WindowSet() {
    m_closingAll = true;  // windows that go with the set change no list
    m_recent.clear();
    m_windows.clear();
    for (const QPointer<MainWindow>& closed : m_closed) {
        delete closed.data();
    }
}

void WindowSet::openAtStart(bool saved) {
    m_startList = saved ? readWindowList(listPath()) : WindowList{};
    if (m_startList.windows.empty()) {
        makeWindow(m_services.settings.RegCzytajLONG(u"server"));
        return;
    }
    const bool rejoin = m_services.settings.switchOn(u"rejoin");
    for (const WindowRecord& record : m_startList.windows) {
        MainWindow& window = makeWindow(record.server);
        if (rejoin) {
            window.session().reopenChannels(record.channels);
        }
    }
}

void WindowSet::showWelcome() {
    for (std::size_t i = 0; i < m_windows.size(); ++i) {
        m_windows[i]->showWelcome(i == 0);
    }
    if (m_windows.empty()) {
        return;
    }
    LineOutput& status = m_windows.front()->session().output;
    const auto tell = [&](const std::u16string& text) {
        status.addLine(u"", text, m_services.colours.of(LineClass::Info));
    };
    if (m_startList.error != 0 && m_startList.error != ENOENT) {
        tell(u"*** " + fromUtf8(kWindowListName) + u" could not be read (" +
             errorPhrase(m_startList.error) + u"): one window opened");
    }
    for (const int line : m_startList.skippedLines) {
        tell(u"*** " + fromUtf8(kWindowListName) + u": line " + decimalText(line) +
             u" is not a window (server number, tab, channels): left out");
    }
    m_startList = {};
}

MainWindow& WindowSet::openWindow() {
    MainWindow& window = makeWindow(m_services.settings.RegCzytajLONG(u"server"));
    window.showWelcome(false);
    window.bringToFront();
    save();
    return window;
}

void WindowSet::closeAll() {
    if (m_closingAll || m_windows.empty()) {
        return;
    }
    save();
    m_closingAll = true;
    std::vector<MainWindow*> open;
    for (const std::unique_ptr<MainWindow>& window : m_windows) {
        open.push_back(window.get());
    }
    for (MainWindow* window : open) {
        window->close();
    }
    m_closingAll = false;
}

MainWindow* WindowSet::window(int index) const {
    return index >= 0 && index < count() ? m_windows[static_cast<std::size_t>(index)].get()
                                         : nullptr;
}

void WindowSet::bringToFront() {
    if (MainWindow* recent = mostRecent()) {
        recent->bringToFront();
    }
}

void WindowSet::openLink(const QString& address) {
    if (MainWindow* recent = mostRecent()) {
        recent->openLink(address);
    }
}

void WindowSet::windowActivated(MainWindow& window) {
    const auto it = std::ranges::find(m_recent, &window);
    if (it != m_recent.end()) {
        m_recent.erase(it);
        m_recent.push_back(&window);
    }
}

void WindowSet::windowClosed(MainWindow& window) {
    const auto it = std::ranges::find_if(
        m_windows, [&](const std::unique_ptr<MainWindow>& open) { return open.get() == &window; });
    if (it == m_windows.end()) {
        return;
    }
    // The last window ends the program, which keeps it for the next start.
    const bool last = m_windows.size() == 1;
    if (last && !m_closingAll) {
        save();
    }
    MainWindow* closing = it->release();
    m_windows.erase(it);
    std::erase(m_recent, closing);
    std::erase_if(m_closed, [](const QPointer<MainWindow>& gone) { return gone.isNull(); });
    m_closed.emplace_back(closing);
    closing->deleteLater();  // its closeEvent is still running
    if (!last && !m_closingAll) {
        save();
    }
}

void WindowSet::optionsApplied(MainWindow& from) {
    for (const std::unique_ptr<MainWindow>& window : m_windows) {
        if (window.get() != &from) {
            window->applyOptions();
        }
    }
}

void WindowSet::favoritesSaved(MainWindow& from) {
    for (const std::unique_ptr<MainWindow>& window : m_windows) {
        if (window.get() != &from) {
            window->reloadFavorites();
        }
    }
}

void WindowSet::save() {
    if (const int error = writeWindowList(listPath(), records()); error != 0) {
        m_services.log.LogError(u"writeFileAtomically", u"WindowSet::save", error);
        if (MainWindow* recent = mostRecent()) {
            recent->session().output.addLine(u"",
                                             u"*** " + fromUtf8(kWindowListName) +
                                                 u" could not be written (" + errorPhrase(error) +
                                                 u")",
                                             m_services.colours.of(LineClass::Info));
        }
    }
}

MainWindow& WindowSet::makeWindow(std::int32_t server) {
    MainWindow* previous = mostRecent();
    auto window = std::make_unique<MainWindow>(m_services);
    MainWindow& made = *window;
    made.setWindowSet(this);
    made.session().server = server;
    // The first window keeps the log names of a client with one window; the
    // others name their network, so one channel name on two networks never
    // shares a file.
    made.session().output.setLogNetwork(!m_windows.empty());
    if (previous && !made.isMaximized() && !made.isFullScreen()) {
        const int step = kCascadeStep * previous->scaleFactor();
        QRect place = previous->normalGeometry().translated(step, step);
        const QScreen* screen = previous->screen();
        if (screen && !screen->availableGeometry().contains(place)) {
            place.moveTopLeft(screen->availableGeometry().topLeft());
        }
        made.setGeometry(place);
    }
    m_windows.push_back(std::move(window));
    m_recent.push_back(&made);
    made.show();
    return made;
}

std::vector<WindowRecord> WindowSet::records() const {
    std::vector<WindowRecord> records;
    for (const std::unique_ptr<MainWindow>& window : m_windows) {
        Session& session = window->session();
        records.push_back({session.server.value_or(m_services.settings.RegCzytajLONG(u"server")),
                           session.channelNames()});
    }
    return records;
}

}  // namespace kolu
