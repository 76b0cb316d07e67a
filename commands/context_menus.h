#pragma once
// The tap-and-hold menus: the user list's (a nickname in a channel), the channel
// tab's, the query tab's and the status tab's. One table per menu gives each
// item's submenu, text, id and action; the window shows the table as a popup and
// answers the chosen id, and the actions here send its protocol line, run it
// through the command line (so it is echoed like a typed command) or ask for
// one field first. A ban by host is only requested here: the WHOIS answer
// completes it.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kolu {

class ColourTable;
class CommandRunner;
class ErrorLog;
class Host;
class LinePrinter;
class ServerLink;
class Settings;
class TabRegistry;
struct SessionState;

// The menus, by their resource numbers.
enum class ContextMenuId : int {
    UserList = 113,
    Channel = 114,
    Query = 115,
    Status = 123,
};

enum class ContextAction {
    Send,           // `line` sent as it is
    SendReason,     // prompt, then `line` + " :" + reason (or `line` alone for no reason)
    SendAnswer,     // prompt, then `line` + the answer
    Parse,          // `line` through the command line, with `target` as its tab name
    PromptCommand,  // prompt, then SendCommand(`line`, `target`, answer)
    OpenQuery,      // a query tab for the nickname, not selected
    Ignore,         // onto the ignore list, with a line saying so
    Unignore,       // off the ignore list, with a line saying so
    Ban,            // ban by host after the nickname's WHOIS answer
    BanKick,        // the same, then `line` (the KICK)
    BanKickReason,  // prompt, then as BanKick with " :" + reason
    RemoveBan,      // the channel's ban list is asked for with `line` and offered for removal
    ScrollOn,       // the text view follows new lines again
    ScrollOff,      // the text view stays where it is
    CloseQuery,     // the query tab goes; nothing is sent
};

// One item. In `line` and `target`, %c stands for the channel and %n for the
// nickname. Items that prompt use their own id as the prompt's id.
struct ContextItem {
    std::u16string_view submenu;  // "" for an item of the menu itself
    std::u16string_view text;
    int id;
    ContextAction action;
    std::u16string_view line = u"";
    std::u16string_view target = u"";
};

struct ContextMenu {
    ContextMenuId id;
    std::span<const ContextItem> items;  // consecutive items of one submenu share its popup
    int dropPixels;                      // the menu opens this far below the tap
};

const ContextMenu& contextMenu(ContextMenuId id);
// The item of `id` in `menu`, or null.
const ContextItem* findContextItem(const ContextMenu& menu, int id);
// `pattern` with %c replaced by `channel` and %n by `nick`.
std::u16string expandContextLine(std::u16string_view pattern, std::u16string_view channel,
                                 std::u16string_view nick);

// The window a menu was opened over.
class ContextMenuWindow {
  public:
    virtual ~ContextMenuWindow() = default;
    // Shows the menu at the tap and waits: the chosen item's id, 0 for none.
    virtual int track(const ContextMenu& menu) = 0;
    // The text view's automatic scrolling.
    virtual void setAutoScroll(bool on) = 0;
};

class ContextMenus {
  public:
    struct Parts {
        SessionState& state;
        ServerLink& connection;
        CommandRunner& commands;
        Settings& settings;
        TabRegistry& tabs;
        LinePrinter& output;
        const ColourTable& colours;
        Host& host;
        ErrorLog& log;
    };

    // A user-list label is read with at most this many characters.
    static constexpr std::size_t kLabelLength = 250;

    explicit ContextMenus(Parts parts) : m_parts(parts) {}

    // The user list of the current tab, on the row labelled `selectedLabel`
    // ("@nick", "+nick" or "nick"). Returns 1.
    int ContextProc(ContextMenuWindow& window, std::u16string_view selectedLabel);
    // The text views' menus. Each returns 1.
    int ChContextProc(ContextMenuWindow& window, std::u16string_view channel);
    int QueryContextProc(ContextMenuWindow& window, std::u16string_view tabName);
    int StatusContextProc(ContextMenuWindow& window);
    // The menu of tab `index`'s text view or label, chosen as menuForTab says.
    int tabContextProc(ContextMenuWindow& window, int index);

    // By the tab's name first ('#' or '&': a channel), then by its index (0: the
    // status tab, any other: a query).
    static ContextMenuId menuForTab(const TabRegistry& tabs, int index);

  private:
    // What the chosen item acts on, and where its local lines go.
    struct Subject {
        std::u16string channel;
        std::u16string nick;
        std::u16string lineTab;
    };

    // Shows the menu and carries out the choice; running out of memory drops the
    // action and is reported under `label`.
    int track(ContextMenuWindow& window, ContextMenuId menuId, const Subject& subject,
              std::u16string_view label);
    void run(const ContextItem& item, const Subject& subject, ContextMenuWindow& window);
    // Whether `line` may be sent; a line too long is refused in the subject's tab.
    bool fits(const Subject& subject, std::u16string_view line);
    void send(const Subject& subject, std::u16string_view line);
    // The one-field prompt of the item's id; nothing when cancelled.
    std::optional<std::u16string> ask(int id);
    void requestBan(const Subject& subject, std::u16string kickLine, bool kick);
    void ignoreLine(const Subject& subject, std::u16string_view text);

    Parts m_parts;
};

}  // namespace kolu
