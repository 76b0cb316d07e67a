#pragma once
// The notify list's part in the connection and the protocol engine: its query in
// the poll tick, its reset on disconnect and the server's ISON answer. The
// session attaches a notify list; until then these events go nowhere.
#include <string_view>

namespace kolu {

class NotifyHooks {
  public:
    virtual ~NotifyHooks() = default;
    virtual void NotifyList_Ison() = 0;
    virtual void NotifyList_Reset() = 0;
    // The nicknames online, separated by blanks, as the ISON answer gives them.
    virtual void NotifyList_Update(std::u16string_view online) = 0;
    // MONITOR's answers about one watched nickname: it came (730) or went (731).
    virtual void monitorArrived(std::u16string_view nick) = 0;
    virtual void monitorLeft(std::u16string_view nick) = 0;
};

}  // namespace kolu
