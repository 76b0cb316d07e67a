#pragma once
// A host that records what the logic asked of the windowing side.
#include <set>
#include <string>
#include <vector>

#include "ui/host.h"

namespace kolu::test {

struct MessageBoxCall {
    std::u16string text;
    std::u16string title;
    bool operator==(const MessageBoxCall&) const = default;
};

class FakeHost : public Host {
  public:
    std::set<TimerId> running;
    std::vector<TimerId> started;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<bool> labels;  // true = "Disconnect" shown
    int focusRequests = 0;
    bool failTimers = false;

    bool startTimer(TimerId id, int) override {
        if (failTimers) {
            return false;
        }
        running.insert(id);
        started.push_back(id);
        return true;
    }
    bool stopTimer(TimerId id) override {
        if (failTimers) {
            return false;
        }
        return running.erase(id) > 0;
    }
    void messageBox(std::u16string_view text, std::u16string_view title) override {
        messageBoxes.push_back({std::u16string(text), std::u16string(title)});
    }
    void setConnectedLabel(bool connected) override { labels.push_back(connected); }
    void focusInput() override { ++focusRequests; }

    bool isRunning(TimerId id) const { return running.count(id) > 0; }
};

}  // namespace kolu::test
