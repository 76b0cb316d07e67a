#pragma once
// What the logic asks of the windowing side: timers, message boxes, prompts, the
// Connect/Disconnect label, focus. The Qt main window implements it; tests use a
// recording fake with scripted answers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sockets.h"

namespace kolu {

// The main window's timers.
enum TimerId : int {
    kPollTimer = 1,     // 1000 ms while connected
    kRetryTimer = 2,    // 5000 ms while waiting to reconnect
    kBanListTimer = 3,  // 100 ms, one shot: shows the collected ban list
    kConnectTimer = 4,  // 3000 ms, one shot: the longest wait for a connect
    kPaceTimer = 5,     // one shot: the next paced line may go
};

// A line that may deserve the user's attention on the desktop.
enum class Attention { Highlight, PrivateMessage, NotifyArrival };

class Host {
  public:
    virtual ~Host() = default;

    // SetTimer / KillTimer on the main window; false when the timer can't be
    // started or stopped.
    virtual bool startTimer(TimerId id, int intervalMs) = 0;
    virtual bool stopTimer(TimerId id) = 0;

    // A modal message box with an OK button.
    virtual void messageBox(std::u16string_view text, std::u16string_view title) = 0;

    // A modal question with Yes and No buttons; true for Yes. A host that can't
    // ask answers No.
    virtual bool askYesNo(std::u16string_view /*text*/, std::u16string_view /*title*/) {
        return false;
    }

    // The menu item that connects and disconnects: "Disconnect" while connected
    // (or connecting), "Connect" otherwise.
    virtual void setConnectedLabel(bool connected) = 0;

    // Watches the connection's socket from the event loop: while `readable`, the
    // host calls Connection::socketReadable as soon as data (or the close) is
    // there, while `writable` Connection::socketWritable; kInvalidSocket stops
    // watching. False when the host can't watch: then the poll tick does all
    // the reading and a connect is waited for where it starts.
    virtual bool watchSocket(SocketHandle /*sock*/, bool /*readable*/, bool /*writable*/ = false) {
        return false;
    }

    // Runs `work` on another thread, then `done` on this one (not at all if the
    // window has gone meanwhile). False when the host can't: the caller then does
    // the work where it is.
    virtual bool runInBackground(std::function<void()> /*work*/, std::function<void()> /*done*/) {
        return false;
    }

    // The lag last measured on the link in milliseconds; nothing once the link is gone.
    virtual void showLag(std::optional<std::uint64_t> /*ms*/) {}

    // Line `line` worth the user's attention was added to tab `tab` ("" the status tab).
    virtual void attention(Attention /*kind*/, std::u16string_view /*tab*/,
                           std::u16string_view /*line*/) {}

    // Gives the keyboard focus to the input line.
    virtual void focusInput() = 0;

    // The one-field prompt for a command id, modal; the entered text, or nothing
    // when cancelled.
    virtual std::optional<std::u16string> promptOneField(int commandId, std::u16string_view title,
                                                         std::u16string_view prompt) = 0;

    // The two-field prompt for a command id, modal; both texts, or nothing when
    // cancelled.
    virtual std::optional<std::pair<std::u16string, std::u16string>> promptTwoFields(
        int commandId, std::u16string_view title, std::u16string_view firstPrompt,
        std::u16string_view secondPrompt) = 0;

    // The pick-from-list prompt for a command id, modal; the index chosen for
    // removal, or nothing when cancelled.
    virtual std::optional<int> pickFromList(int commandId, std::u16string_view title,
                                            std::u16string_view prompt,
                                            const std::vector<std::u16string>& items) = 0;
};

}  // namespace kolu
