#pragma once
// The main windows of one running client, each with its own session (its
// connection, server choice and tabs) over the program's shared services. The
// set opens them (those windows.txt kept, File > New window, a later start's
// request), knows the one used last, keeps windows.txt up to date and ends with
// them: closing a window ends its connection, File > Exit closes them all, and
// the last one closing ends the program.
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/main_window.h"
#include "ui/window_list.h"

namespace kolu {

class WindowSet final : public QObject {
    Q_OBJECT
  public:
    // How far a new window opens from the last one (pixels at scale 1).
    static constexpr int kCascadeStep = 24;

    // `dataFolder` (ending in '/') holds windows.txt.
    WindowSet(const MainWindowServices& services, std::string dataFolder,
              QObject* parent = nullptr);
    ~WindowSet() override;

    // At start: the windows windows.txt lists, each on its server and, with
    // `rejoin` on, with its channel tabs to join; one window when there are none
    // or `saved` is false. All shown.
    void openAtStart(bool saved = true);
    // After the start: the splash (once), each window's welcome banner, and the
    // lines of windows.txt that were left out.
    void showWelcome();
    // File > New window, or a later start's request: one more window on the
    // `server` setting, cascaded from the last one used, in front.
    MainWindow& openWindow();
    // File > Exit: windows.txt keeps every window, then each closes.
    void closeAll();

    int count() const { return static_cast<int>(m_windows.size()); }
    // In the order they were opened; null past the end.
    MainWindow* window(int index) const;
    // The window activated last (or opened since); null when none is open.
    MainWindow* mostRecent() const { return m_recent.empty() ? nullptr : m_recent.back(); }
    // A later start's raise request and irc:// address go to the most recent window.
    void bringToFront();
    void openLink(const QString& address);

    // What the windows report.
    void windowActivated(MainWindow& window);
    // From its closeEvent: it goes once that has returned.
    void windowClosed(MainWindow& window);
    // One window saved Options or favorites.txt: the others follow.
    void optionsApplied(MainWindow& from);
    void favoritesSaved(MainWindow& from);

    std::string listPath() const { return m_dataFolder + kWindowListName; }
    // Writes windows.txt with the open windows; a failure is reported.
    void save();

  private:
    MainWindow& makeWindow(std::int32_t server);
    std::vector<WindowRecord> records() const;

    MainWindowServices m_services;
    std::string m_dataFolder;
    std::vector<std::unique_ptr<MainWindow>> m_windows;
    std::vector<MainWindow*> m_recent;           // by activation, the most recent last
    std::vector<QPointer<MainWindow>> m_closed;  // deleted later, or with the set
    WindowList m_startList;                      // what the start read, for its report
    bool m_closingAll = false;
};

}  // namespace kolu
