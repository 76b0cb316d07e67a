#pragma once
// The Commands menu: each item asks for its arguments in a prompt and runs the
// same command text the user could have typed, so menu and keyboard behave alike.
// Also the table of every prompt's title and texts by command id (shared with the
// context menus, favourites, nickname clash and options lists), the command
// builder `SendCommand`, and the Connect/Disconnect label rule of the File menu.
#include <cstddef>
#include <string>
#include <string_view>

namespace kolu {

class CommandRunner;
class Host;

// Commands menu ids.
inline constexpr int kMenuJoin = 40101;
inline constexpr int kMenuPart = 40102;
inline constexpr int kMenuList = 40103;
inline constexpr int kMenuNames = 40104;
inline constexpr int kMenuWhois = 40105;
inline constexpr int kMenuWhowas = 40106;
inline constexpr int kMenuWho = 40107;
inline constexpr int kMenuNick = 40108;
inline constexpr int kMenuQuit = 40109;
inline constexpr int kMenuTopic = 40110;
inline constexpr int kMenuInvite = 40111;
inline constexpr int kMenuKick = 40112;
inline constexpr int kMenuNotice = 40113;
// The main window hands every id of this range to the Commands menu.
inline constexpr int kFirstMenuCommand = 40101;
inline constexpr int kLastRoutedMenuCommand = 40198;

// Ids of the prompts other parts open.
inline constexpr int kPromptFavoriteAdd = 40298;
inline constexpr int kPickFavoriteRemove = 40299;
inline constexpr int kPickBanList = 368;
inline constexpr int kPromptKickReason = 40312;
inline constexpr int kPromptBanKickReason = 40315;
inline constexpr int kPromptUserNotice = 40316;
inline constexpr int kPromptTopicChange = 40410;
inline constexpr int kPromptChannelKey = 40421;
inline constexpr int kPromptAway = 40501;
inline constexpr int kPromptNickInUse = 432;
inline constexpr int kPromptIgnoreAdd = 1612;
inline constexpr int kPromptHighlightAdd = 1614;
inline constexpr int kPromptNotifyAdd = 1616;

// Characters a prompt field accepts; the favourite sentence field takes fewer.
inline constexpr int kPromptFieldLimit = 250;
inline constexpr int kFavoriteFieldLimit = 64;
// Characters of a prompt's answer (the second field of the two-field prompt): the
// answer buffer keeps one character less than the field holds.
inline constexpr std::size_t kPromptAnswerChars = 249;

enum class PromptKind { OneField, TwoFields };

// One prompt: its title and texts, and for the Commands menu items the command
// word the answers are appended to.
struct PromptText {
    int id;
    PromptKind kind;
    std::u16string_view title;
    std::u16string_view prompt;
    std::u16string_view secondPrompt;  // two-field prompts only
    std::u16string_view command;       // Commands menu items only, e.g. "/JOIN"
};

// The prompt of an id; null for an id that has none (its dialog shows no texts).
const PromptText* findPrompt(int id);
// How many characters the one-field prompt of `id` accepts.
int promptFieldLimit(int id);
// Whether OK may confirm an empty field: only the quit message may be empty.
bool promptAcceptsEmpty(int id);

// The command word, then the first argument and the answer, each after one space
// and left out when empty: "/TOPIC" "#a" "new topic" -> "/TOPIC #a new topic".
std::u16string commandText(std::u16string_view command, std::u16string_view first,
                           std::u16string_view answer);
// Runs commandText(...) through the command line with `first` as the tab name it
// concerns; returns the command line's result (1 after /quit).
int SendCommand(CommandRunner& commands, std::u16string_view command, std::u16string_view first,
                std::u16string_view answer);

// Runs the items of the Commands menu over the host's prompts.
class MenuCommands {
  public:
    MenuCommands(Host& host, CommandRunner& commands) : m_host(host), m_commands(commands) {}

    // Runs menu item `id`: prompts, then sends the command unless cancelled.
    // Returns the user-quit value: 1 after a confirmed Quit, else 0 (also for ids
    // that are not Commands menu items). A cancelled Quit yields 0: the user did
    // not quit, so a later connection loss may still reconnect.
    int ObslugaMenuCommands(int id);

  private:
    Host& m_host;
    CommandRunner& m_commands;
};

// The File menu's Connect/Disconnect item and the label change a connection
// state asks for.
inline constexpr int kMenuConnect = 40008;
struct MenuLabelChange {
    int id;
    std::u16string_view from;
    std::u16string_view to;
};
// Connected: "Connect" becomes "Disconnect"; not connected: the reverse.
MenuLabelChange connectLabelChange(bool connected);
// Menu item texts are read up to this many characters before they are compared.
inline constexpr std::size_t kMenuTextRead = 63;
// Whether a menu item showing `itemText` shows exactly `expected`, reading the
// item as the menu text is read (at most kMenuTextRead characters).
bool menuTextMatches(std::u16string_view itemText, std::u16string_view expected);

}  // namespace kolu
