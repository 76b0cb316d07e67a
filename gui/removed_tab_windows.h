#pragma once
// The windows of removed tabs. A tab can go while a handler of one of its
// windows is still running: its own menu's "Close tab", or a kick or the
// reconnect's clean-up read while its menu (or a prompt from it) is open. Its
// windows are hidden at once and their open menus close, but they are deleted
// only after every such handler has returned.
#include <QPointer>
#include <QWidget>
#include <vector>

namespace kolu {

class RemovedTabWindows {
  public:
    // Held while a handler that may remove tabs runs inside a tab's window.
    class HandlerScope {
      public:
        explicit HandlerScope(RemovedTabWindows& windows) : m_windows(windows) {
            ++m_windows.m_handlers;
        }
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

      private:
        RemovedTabWindows& m_windows;
    };

    // `window` (null is ignored) belongs to a tab that is gone.
    void remove(QWidget* window);

  private:
    // Deleted once control is back in the event loop.
    void release();

    int m_handlers = 0;
    std::vector<QPointer<QWidget>> m_waiting;
};

}  // namespace kolu
