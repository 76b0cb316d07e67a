#include "commands/menu_commands.h"

#include <array>
#include <optional>
#include <utility>

#include "platform/text.h"
#include "protocol/handler_context.h"
#include "ui/host.h"

namespace kolu {
namespace {

constexpr PromptKind kOne = PromptKind::OneField;
constexpr PromptKind kTwo = PromptKind::TwoFields;

constexpr std::array kPrompts{
    // The Commands menu.
    PromptText{kMenuJoin, kOne, u"Join channel", u"Enter channel to join:", u"", u"/JOIN"},
    PromptText{kMenuPart, kOne, u"Part channel", u"Enter channel to part:", u"", u"/PART"},
    PromptText{kMenuList, kOne, u"List channels", u"Enter channel(s) comma's separated:", u"",
               u"/LIST"},
    PromptText{kMenuNames, kOne, u"List nicknames on channels",
               u"Enter channel(s) comma's separated:", u"", u"/NAMES"},
    PromptText{kMenuWhois, kOne, u"Whois input", u"Enter nickname:", u"", u"/WHOIS"},
    PromptText{kMenuWhowas, kOne, u"Whowas input", u"Enter nickname:", u"", u"/WHOWAS"},
    PromptText{kMenuWho, kOne, u"Who input", u"Enter nick or channel:", u"", u"/WHO"},
    PromptText{kMenuNick, kOne, u"Change nick", u"Enter a new nick:", u"", u"/NICK"},
    PromptText{kMenuQuit, kOne, u"Quit IRC", u"Enter a quit message:", u"", u"/QUIT"},
    PromptText{kMenuTopic, kTwo, u"Topic input", u"Enter channel:", u"Enter new topic:", u"/TOPIC"},
    PromptText{kMenuInvite, kTwo, u"Invite input", u"Enter nickname:", u"Enter channel:",
               u"/INVITE"},
    PromptText{kMenuKick, kTwo, u"Kick input", u"Enter channel:", u"Enter nickname:", u"/KICK"},
    PromptText{kMenuNotice, kTwo, u"Notice input", u"Enter nickname:", u"Enter message:",
               u"/NOTICE"},
    // Prompts of the favourites, context menus, nickname clash and option lists.
    PromptText{kPromptFavoriteAdd, kOne, u"New favorite sentence", u"Enter a sentence:", u"", u""},
    PromptText{kPromptKickReason, kOne, u"Kick reason", u"Enter reason:", u"", u""},
    PromptText{kPromptBanKickReason, kOne, u"Ban/kick reason", u"Enter reason:", u"", u""},
    PromptText{kPromptUserNotice, kOne, u"Notice input", u"Enter message:", u"", u""},
    PromptText{kPromptTopicChange, kOne, u"Change topic to...", u"Enter a new topic:", u"", u""},
    PromptText{kPromptChannelKey, kOne, u"Channel key", u"Enter channel key:", u"", u""},
    PromptText{kPromptAway, kOne, u"Away information", u"Enter text:", u"", u""},
    PromptText{kPromptNickInUse, kOne, u"Nickname already in use", u"Enter a new nick:", u"", u""},
    PromptText{kPromptIgnoreAdd, kOne, u"Add to ignore list", u"Enter a nickname:", u"", u""},
    PromptText{kPromptHighlightAdd, kOne, u"Add to highlight list", u"Enter a nickname:", u"", u""},
    PromptText{kPromptNotifyAdd, kOne, u"Add to notify list", u"Enter a nickname:", u"", u""},
};

}  // namespace

const PromptText* findPrompt(int id) {
    for (const PromptText& prompt : kPrompts) {
        if (prompt.id == id) {
            return &prompt;
        }
    }
    return nullptr;
}

int promptFieldLimit(int id) {
    return id == kPromptFavoriteAdd ? kFavoriteFieldLimit : kPromptFieldLimit;
}

bool promptAcceptsEmpty(int id) {
    return id == kMenuQuit;
}

std::u16string commandText(std::u16string_view command, std::u16string_view first,
                           std::u16string_view answer) {
    std::u16string text(command);
    for (std::u16string_view part : {first, answer}) {
        if (!part.empty()) {
            text += u' ';
            text += part;
        }
    }
    return text;
}

int SendCommand(CommandRunner& commands, std::u16string_view command, std::u16string_view first,
                std::u16string_view answer) {
    return commands.ParsujKomende(commandText(command, first, answer), first);
}

int MenuCommands::ObslugaMenuCommands(int id) {
    const PromptText* item = findPrompt(id);
    if (!item || item->command.empty()) {
        return 0;  // not a Commands menu item
    }
    const int quitValue = id == kMenuQuit ? 1 : 0;
    if (item->kind == PromptKind::OneField) {
        std::optional<std::u16string> answer = m_host.promptOneField(id, item->title, item->prompt);
        if (!answer) {
            return 0;
        }
        SendCommand(m_commands, item->command, u"", cutAtWholeChar(*answer, kPromptAnswerChars));
        return quitValue;
    }
    std::optional<std::pair<std::u16string, std::u16string>> answers =
        m_host.promptTwoFields(id, item->title, item->prompt, item->secondPrompt);
    if (!answers) {
        return 0;
    }
    SendCommand(m_commands, item->command,
                cutAtWholeChar(answers->first, static_cast<std::size_t>(kPromptFieldLimit)),
                cutAtWholeChar(answers->second, kPromptAnswerChars));
    return quitValue;
}

MenuLabelChange connectLabelChange(bool connected) {
    if (connected) {
        return {kMenuConnect, u"Connect", u"Disconnect"};
    }
    return {kMenuConnect, u"Disconnect", u"Connect"};
}

bool menuTextMatches(std::u16string_view itemText, std::u16string_view expected) {
    return cutAtWholeChar(itemText, kMenuTextRead) == expected;
}

}  // namespace kolu
