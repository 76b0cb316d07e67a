#pragma once
// A host that records what the logic asked of the windowing side.
#include <functional>
#include <map>
#include <optional>
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
    std::map<TimerId, int> intervals;  // the last interval each timer was started with
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<bool> labels;  // true = "Disconnect" shown

    bool startTimer(TimerId id, int intervalMs) override {
        running.insert(id);
        started.push_back(id);
        intervals[id] = intervalMs;
        return true;
    }
    bool stopTimer(TimerId id) override { return running.erase(id) > 0; }
    void messageBox(std::u16string_view text, std::u16string_view title) override {
        messageBoxes.push_back({std::u16string(text), std::u16string(title)});
    }
    std::vector<MessageBoxCall> questions;
    std::vector<std::optional<bool>> yesNoAnswers;  // taken in turn; an empty queue answers No
    bool askYesNo(std::u16string_view text, std::u16string_view title) override {
        questions.push_back({std::u16string(text), std::u16string(title)});
        return takeFirst(yesNoAnswers).value_or(false);
    }
    void setConnectedLabel(bool connected) override { labels.push_back(connected); }
    void focusInput() override {}
    std::vector<std::optional<std::uint64_t>> lags;
    void showLag(std::optional<std::uint64_t> ms) override { lags.push_back(ms); }

    // The last socket watch asked for; granted only with grantWatch.
    struct Watch {
        SocketHandle sock = kInvalidSocket;
        bool readable = false;
        bool writable = false;
    };
    Watch watch;
    bool grantWatch = false;
    bool watchSocket(SocketHandle sock, bool readable, bool writable) override {
        watch = {sock, readable, writable};
        return grantWatch;
    }

    // With deferBackground, work handed to runInBackground waits here for the test.
    bool deferBackground = false;
    std::vector<std::pair<std::function<void()>, std::function<void()>>> background;
    bool runInBackground(std::function<void()> work, std::function<void()> done) override {
        if (!deferBackground) {
            return false;
        }
        background.emplace_back(std::move(work), std::move(done));
        return true;
    }

    struct Prompt {
        int commandId;
        std::u16string title;
        std::u16string prompt;
        std::vector<std::u16string> items;  // pick-from-list only
    };
    std::vector<Prompt> prompts;
    // Scripted answers, taken in turn; an empty queue cancels.
    std::vector<std::optional<std::u16string>> textAnswers;
    std::vector<std::optional<int>> pickAnswers;
    std::vector<std::optional<std::pair<std::u16string, std::u16string>>> twoFieldAnswers;

    std::optional<std::u16string> promptOneField(int commandId, std::u16string_view title,
                                                 std::u16string_view prompt) override {
        prompts.push_back({commandId, std::u16string(title), std::u16string(prompt), {}});
        return takeFirst(textAnswers);
    }
    std::optional<std::pair<std::u16string, std::u16string>> promptTwoFields(
        int commandId, std::u16string_view title, std::u16string_view firstPrompt,
        std::u16string_view secondPrompt) override {
        prompts.push_back({commandId,
                           std::u16string(title),
                           std::u16string(firstPrompt),
                           {std::u16string(secondPrompt)}});
        return takeFirst(twoFieldAnswers);
    }
    std::optional<int> pickFromList(int commandId, std::u16string_view title,
                                    std::u16string_view prompt,
                                    const std::vector<std::u16string>& items) override {
        prompts.push_back({commandId, std::u16string(title), std::u16string(prompt), items});
        return takeFirst(pickAnswers);
    }

    bool isRunning(TimerId id) const { return running.count(id) > 0; }

  private:
    template <typename T>
    static std::optional<T> takeFirst(std::vector<std::optional<T>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        std::optional<T> answer = queue.front();
        queue.erase(queue.begin());
        return answer;
    }
};

}  // namespace kolu::test
