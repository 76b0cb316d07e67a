#pragma once
// The lines the pacing holds back, in order, each with the echo it shows once it
// has gone; and the one notice that says how many wait, given once per queue.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "protocol/server_link.h"

namespace kolu {

class PacedLines {
  public:
    struct Line {
        std::string bytes;  // without its line feed
        std::optional<LineEcho> echo;
    };

    bool empty() const { return m_lines.empty(); }
    // Adds a line; true when it begins the queue.
    bool push(Line line);
    Line pop();
    // Drops every line; how many there were.
    std::size_t clear();
    // "*** N lines are waiting to be sent ..." for the tab of the next line's
    // echo, the first time it is asked since the queue began; else nothing.
    std::optional<LineEcho> waitingNotice(std::uint32_t colour);

  private:
    std::deque<Line> m_lines;
    bool m_told = false;
};

}  // namespace kolu
