#pragma once
// The input line as the command line sees it: the text being typed, the history
// of sent lines (oldest first, no two equal without regard to case) and which
// history entry is selected. The input widget observes it and shows it; Up and
// Down walk the history through the position kept here.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

// Hears what the input widget must follow. Calls come after the change.
class InputLineObserver {
  public:
    virtual ~InputLineObserver() = default;
    virtual void textChanged() {}
    virtual void historyChanged() {}
    // The history is about to get its first entry: the drop-down list needs room
    // (100 x scale factor pixels more height for the combo box).
    virtual void dropDownRoomNeeded() {}
};

// The lines of the input text as Enter takes them: pasted text may hold several,
// ended by CR LF, CR or LF. Trailing blanks go; lines left empty are dropped.
std::vector<std::u16string> enteredLines(std::u16string_view text);

class InputLineModel {
  public:
    void setObserver(InputLineObserver* observer) { m_observer = observer; }

    const std::u16string& text() const { return m_text; }
    // The user typed (or a program set) the text; no history entry is selected any more.
    void setText(std::u16string_view text);

    const std::vector<std::u16string>& history() const { return m_history; }
    // Appends sent lines, oldest first, as the newest entries after removing every
    // entry equal to one of them ignoring case, so a line sent again moves to the
    // end and appears once; then only the newest `limit` entries are kept. The
    // observer hears of it once, however many lines a paste brings.
    void addToHistory(std::span<const std::u16string> lines, std::size_t limit);

    // The selected history entry, -1 for none.
    int selection() const { return m_selection; }
    // Selects an entry and shows its text; -1 (or an index out of range) clears the line.
    void select(int index);

    // Up and Down in the input line (position -1 = no entry shown). Up shows the
    // newest entry first, then older ones, stopping at the oldest; Down goes back
    // towards the newest and past it to the line that was being typed before the
    // first Up. Enter resets the position.
    int historyPosition() const { return m_position; }
    void historyUp();
    void historyDown();
    void resetHistoryPosition() { m_position = -1; }

  private:
    void notifyText();

    std::u16string m_text;
    std::u16string m_draft;  // the typed line while Up and Down show history entries
    std::vector<std::u16string> m_history;
    int m_selection = -1;
    int m_position = -1;
    InputLineObserver* m_observer = nullptr;
};

}  // namespace kolu
