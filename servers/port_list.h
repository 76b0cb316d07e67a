#pragma once
// A server's ports text ("6667,7000-7002") made into the list of ports a
// connection attempt picks from, and the random pick itself.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kolu {

class Clock;
class Random;

// The ports of one ports text, in text order, each range ascending; duplicates
// stay, so a port listed twice is twice as likely to be picked. Ranges are kept
// as runs rather than one entry per port, so "1-65535" costs one entry.
class PortList {
  public:
    static constexpr std::int32_t kLowestPort = 1;
    static constexpr std::int32_t kHighestPort = 65535;

    // Number of ports (a run of n ports counts n).
    int count() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // The port at `index` (from 0), -1 outside 0..count()-1.
    std::int32_t at(int index) const;
    // Whether the port at `index` was written with a leading '+': TLS.
    bool tlsAt(int index) const;
    // Appends the ports first..last; false (nothing added) when the run is empty,
    // leaves 1..65535, or would take the count past what an int holds.
    bool addRun(std::int32_t first, std::int32_t last, bool tls = false);
    void clear();

  private:
    struct Run {
        std::int32_t first;
        std::int32_t last;
        int before;  // ports in the runs ahead of this one
        bool tls;
    };
    const Run* runAt(int index) const;
    std::vector<Run> m_runs;
    int m_count = 0;
};

// The C library's decimal conversion (_wtoi) of a piece: leading blanks skipped,
// an optional sign, stops at the first non-digit, no digits give 0. Values beyond
// an int saturate instead of overflowing.
std::int32_t portNumber(std::u16string_view text);

// Builds the list from a ports text, split at each ","; returns the count. A piece
// with a "-" is a range; any other piece is one port. Only 1..65535 are ports:
// empty pieces, garbage and out-of-range numbers add nothing. A piece whose first
// character after blanks is '+' ("+6697", "+6697-6699") is of TLS ports.
int SrvTworzTbPortow(std::u16string_view ports, PortList& list);

// Adds one port and returns count + 1; a number outside 1..65535 is not added and
// the count comes back unchanged.
int SrvDodajPort(PortList& list, std::int32_t port, int count, bool tls = false);

// Adds the range of `piece` whose first "-" is at `dash`: every port from the low
// end to the high end, clamped to 1..65535. A low end above the high end adds
// nothing. Returns the new count.
int SrvDodajZakres(PortList& list, std::u16string_view piece, std::size_t dash, int count,
                   bool tls = false);

// Frees the list (count ports and the end).
void SrvUsunTbPortow(PortList& list, int count);

// A port picked at random from the ports text: the generator is seeded with the
// tick count and the port at rand() % count is taken. -1 when the text holds none.
// `tls`, when given, tells whether the port picked is a TLS one.
std::int32_t SrvLosujPort(std::u16string_view ports, const Clock& clock, Random& random,
                          bool* tls = nullptr);

}  // namespace kolu
