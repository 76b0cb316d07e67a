#pragma once
// When a line may go to the server without being taken for a flood: up to
// `burst` lines at once, then one every `intervalMs` while more wait. Each line
// sent makes the sender "busy" for one interval more; a line may go while the
// busy time ahead is under burst - 1 intervals, so an idle sender gets its whole
// burst back. Times are milliseconds of a monotonic clock that never wraps.
#include <cstdint>

namespace kolu {

class SendPacer {
  public:
    // Whether a line may go at `now`; if so it is counted.
    bool tryTake(std::uint64_t now, int burst, int intervalMs);
    // Counts a line that went regardless (the login).
    void count(std::uint64_t now, int intervalMs);
    // Milliseconds from `now` until the next line may go (0 when it may now).
    int waitMs(std::uint64_t now, int burst, int intervalMs) const;

  private:
    // Busy time ahead of `now`, in milliseconds (0 once it has passed).
    std::int64_t ahead(std::uint64_t now) const;

    std::uint64_t m_busyUntil = 0;
};

}  // namespace kolu
