// The Commands menu: which prompt each item opens, which command text it hands
// to the command line, what it returns; the prompt table other parts share; the
// Connect/Disconnect label rule.
#include "commands/menu_commands.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "protocol/handler_context.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

// Records the commands handed to the command line; answers `result`.
class RecordingRunner final : public CommandRunner {
  public:
    struct Call {
        std::u16string text;
        std::u16string tabName;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    int result = 0;

    int ParsujKomende(std::u16string_view text, std::u16string_view tabName) override {
        calls.push_back({std::u16string(text), std::u16string(tabName)});
        return result;
    }
};

struct MenuRow {
    int id;
    std::u16string title;
    std::u16string prompt;
    std::u16string secondPrompt;  // empty for the one-field items
    std::u16string first;         // the answers given
    std::u16string second;
    std::u16string sent;  // the text handed to the command line
    std::u16string tabName;
};

const std::vector<MenuRow> kMenuRows = {
    {40101, u"Join channel", u"Enter channel to join:", u"", u"", u"#a", u"/JOIN #a", u""},
    {40102, u"Part channel", u"Enter channel to part:", u"", u"", u"#a", u"/PART #a", u""},
    {40103, u"List channels", u"Enter channel(s) comma's separated:", u"", u"", u"#a,#b",
     u"/LIST #a,#b", u""},
    {40104, u"List nicknames on channels", u"Enter channel(s) comma's separated:", u"", u"", u"#a",
     u"/NAMES #a", u""},
    {40105, u"Whois input", u"Enter nickname:", u"", u"", u"bob", u"/WHOIS bob", u""},
    {40106, u"Whowas input", u"Enter nickname:", u"", u"", u"bob", u"/WHOWAS bob", u""},
    {40107, u"Who input", u"Enter nick or channel:", u"", u"", u"#a", u"/WHO #a", u""},
    {40108, u"Change nick", u"Enter a new nick:", u"", u"", u"me2", u"/NICK me2", u""},
    {40109, u"Quit IRC", u"Enter a quit message:", u"", u"", u"see you", u"/QUIT see you", u""},
    {40110, u"Topic input", u"Enter channel:", u"Enter new topic:", u"#a", u"new topic",
     u"/TOPIC #a new topic", u"#a"},
    {40111, u"Invite input", u"Enter nickname:", u"Enter channel:", u"bob", u"#a",
     u"/INVITE bob #a", u"bob"},
    {40112, u"Kick input", u"Enter channel:", u"Enter nickname:", u"#a", u"bob", u"/KICK #a bob",
     u"#a"},
    {40113, u"Notice input", u"Enter nickname:", u"Enter message:", u"bob", u"hi there",
     u"/NOTICE bob hi there", u"bob"},
};

class MenuCommandsTest : public ::testing::Test {
  protected:
    void answer(const MenuRow& row) {
        if (row.secondPrompt.empty()) {
            host.textAnswers.push_back(row.second);
        } else {
            host.twoFieldAnswers.push_back(std::make_pair(row.first, row.second));
        }
    }

    test::FakeHost host;
    RecordingRunner runner;
    MenuCommands menu{host, runner};
};

TEST_F(MenuCommandsTest, EachItemPromptsThenSendsItsCommand) {
    // The command line's own answer must not leak through: only Quit yields 1.
    for (int parserResult : {0, 1}) {
        for (const MenuRow& row : kMenuRows) {
            SCOPED_TRACE(row.id);
            host.prompts.clear();
            runner.calls.clear();
            runner.result = parserResult;
            answer(row);

            EXPECT_EQ(menu.ObslugaMenuCommands(row.id), row.id == 40109 ? 1 : 0);

            ASSERT_EQ(host.prompts.size(), 1u);
            EXPECT_EQ(host.prompts[0].commandId, row.id);
            EXPECT_EQ(host.prompts[0].title, row.title);
            EXPECT_EQ(host.prompts[0].prompt, row.prompt);
            const std::vector<std::u16string> second =
                row.secondPrompt.empty() ? std::vector<std::u16string>{}
                                         : std::vector<std::u16string>{row.secondPrompt};
            EXPECT_EQ(host.prompts[0].items, second);
            EXPECT_EQ(runner.calls, (std::vector<RecordingRunner::Call>{{row.sent, row.tabName}}));
        }
    }
}

TEST_F(MenuCommandsTest, CancelSendsNothingAndIsNoQuit) {
    for (const MenuRow& row : kMenuRows) {
        SCOPED_TRACE(row.id);
        host.prompts.clear();
        EXPECT_EQ(menu.ObslugaMenuCommands(row.id), 0);  // no scripted answer: cancelled
        EXPECT_EQ(host.prompts.size(), 1u);
    }
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(MenuCommandsTest, EmptyAnswersAreLeftOut) {
    host.textAnswers = {u"", u""};
    host.twoFieldAnswers = {std::make_pair(u"", u"text")};
    EXPECT_EQ(menu.ObslugaMenuCommands(40101), 0);
    EXPECT_EQ(menu.ObslugaMenuCommands(40109), 1);
    EXPECT_EQ(menu.ObslugaMenuCommands(40110), 0);
    EXPECT_EQ(runner.calls, (std::vector<RecordingRunner::Call>{
                                {u"/JOIN", u""}, {u"/QUIT", u""}, {u"/TOPIC text", u""}}));
}

TEST_F(MenuCommandsTest, IdsOutsideTheMenuDoNothing) {
    // 40298 has a prompt of its own, but it is the favourites', not a command.
    for (int id : {0, -1, 432, 40100, 40114, 40198, 40298, 40501}) {
        SCOPED_TRACE(id);
        host.textAnswers = {u"x"};
        EXPECT_EQ(menu.ObslugaMenuCommands(id), 0);
    }
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_TRUE(runner.calls.empty());
}

TEST_F(MenuCommandsTest, AnswersAreCutToTheirBuffers) {
    const std::u16string longAnswer(300, u'a');
    // 248 letters then a surrogate pair: the pair would end past 249 and is dropped whole.
    const std::u16string pairAtEdge = std::u16string(248, u'b') + u"\U0001F600";
    host.textAnswers = {longAnswer, pairAtEdge};
    host.twoFieldAnswers = {std::make_pair(std::u16string(260, u'c'), longAnswer)};
    menu.ObslugaMenuCommands(40105);
    menu.ObslugaMenuCommands(40105);
    menu.ObslugaMenuCommands(40113);
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(runner.calls[0].text, u"/WHOIS " + std::u16string(249, u'a'));
    EXPECT_EQ(runner.calls[1].text, u"/WHOIS " + std::u16string(248, u'b'));
    EXPECT_EQ(runner.calls[2].text,
              u"/NOTICE " + std::u16string(250, u'c') + u" " + std::u16string(249, u'a'));
    EXPECT_EQ(runner.calls[2].tabName, std::u16string(250, u'c'));
}

TEST(CommandText, JoinsNonEmptyPartsWithOneSpace) {
    struct Case {
        std::u16string command, first, answer, text;
    };
    const std::vector<Case> cases = {
        {u"/TOPIC", u"#a", u"new topic", u"/TOPIC #a new topic"},
        {u"/QUIT", u"", u"", u"/QUIT"},
        {u"/NOTICE", u"", u"hi", u"/NOTICE hi"},
        {u"/AWAY", u"", u" lead", u"/AWAY  lead"},  // the answer keeps its own spaces
        {u"/MODE", u"#a", u"", u"/MODE #a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commandText(c.command, c.first, c.answer), c.text);
    }
    RecordingRunner runner;
    runner.result = 1;
    EXPECT_EQ(SendCommand(runner, u"/TOPIC", u"#chan", u"hello"), 1);
    EXPECT_EQ(runner.calls,
              (std::vector<RecordingRunner::Call>{{u"/TOPIC #chan hello", u"#chan"}}));
}

TEST(PromptTable, TitlesAndLimitsOfTheSharedPrompts) {
    struct Case {
        int id;
        std::u16string title, prompt;
        int limit;
    };
    const std::vector<Case> cases = {
        {40298, u"New favorite sentence", u"Enter a sentence:", 64},
        {40312, u"Kick reason", u"Enter reason:", 250},
        {40315, u"Ban/kick reason", u"Enter reason:", 250},
        {40316, u"Notice input", u"Enter message:", 250},
        {40410, u"Change topic to...", u"Enter a new topic:", 250},
        {40421, u"Channel key", u"Enter channel key:", 250},
        {40501, u"Away information", u"Enter text:", 250},
        {432, u"Nickname already in use", u"Enter a new nick:", 250},
        {1612, u"Add to ignore list", u"Enter a nickname:", 250},
        {1614, u"Add to highlight list", u"Enter a nickname:", 250},
        {1616, u"Add to notify list", u"Enter a nickname:", 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const PromptText* prompt = findPrompt(c.id);
        ASSERT_NE(prompt, nullptr);
        EXPECT_EQ(prompt->kind, PromptKind::OneField);
        EXPECT_EQ(prompt->title, c.title);
        EXPECT_EQ(prompt->prompt, c.prompt);
        EXPECT_TRUE(prompt->command.empty());
        EXPECT_EQ(promptFieldLimit(c.id), c.limit);
        EXPECT_FALSE(promptAcceptsEmpty(c.id));
    }
    EXPECT_EQ(findPrompt(40114), nullptr);
    EXPECT_EQ(findPrompt(368), nullptr);  // the ban list's texts come from its caller
    EXPECT_TRUE(promptAcceptsEmpty(40109));
    EXPECT_FALSE(promptAcceptsEmpty(40108));
}

TEST(ConnectLabel, SwapsOnlyAnExactLabel) {
    EXPECT_EQ(connectLabelChange(true).id, 40008);
    EXPECT_EQ(connectLabelChange(true).from, u"Connect");
    EXPECT_EQ(connectLabelChange(true).to, u"Disconnect");
    EXPECT_EQ(connectLabelChange(false).from, u"Disconnect");
    EXPECT_EQ(connectLabelChange(false).to, u"Connect");

    EXPECT_TRUE(menuTextMatches(u"Connect", u"Connect"));
    EXPECT_FALSE(menuTextMatches(u"connect", u"Connect"));
    EXPECT_FALSE(menuTextMatches(u"Connect ", u"Connect"));
    EXPECT_FALSE(menuTextMatches(u"Disconnect", u"Connect"));
    // Only 63 characters of the item are read.
    const std::u16string longText(70, u'x');
    EXPECT_TRUE(menuTextMatches(longText, std::u16string(63, u'x')));
    EXPECT_FALSE(menuTextMatches(longText, longText));
}

// The menu over the session's real command line: the protocol lines that go out.
class MenuOverCommandLineTest : public ::testing::Test {
  protected:
    MenuOverCommandLineTest() {
        sockets.acceptSends = true;
        env.session.state.socket = 7;
        env.session.state.connected = true;
        env.settings.settings.RegZapiszMsg(u"quitmsg", u"gone", 500);
        env.settings.settings.RegZapiszLONG(u"whspteach", 0);
    }
    std::vector<std::string> sent() const {
        std::vector<std::string> lines;
        for (const std::string& piece : sockets.sent) {
            lines.push_back(piece.substr(0, piece.find_last_not_of("\r\n") + 1));
        }
        return lines;
    }

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
    MenuCommands menu{env.host, env.session.commands};
};

TEST_F(MenuOverCommandLineTest, SendsTheProtocolLines) {
    env.host.textAnswers = {u"#a", u""};
    env.host.twoFieldAnswers = {std::make_pair(u"#a", u"bob"), std::make_pair(u"#a", u"new topic"),
                                std::make_pair(u"bob", u"hi there")};
    EXPECT_EQ(menu.ObslugaMenuCommands(40101), 0);
    EXPECT_EQ(menu.ObslugaMenuCommands(40112), 0);
    EXPECT_EQ(menu.ObslugaMenuCommands(40110), 0);
    EXPECT_EQ(menu.ObslugaMenuCommands(40113), 0);
    EXPECT_EQ(menu.ObslugaMenuCommands(40109), 1);  // empty message: `quitmsg`
    EXPECT_EQ(menu.ObslugaMenuCommands(40101), 0);  // cancelled: nothing more
    EXPECT_EQ(sent(), (std::vector<std::string>{"JOIN #a", "KICK #a bob", "TOPIC #a :new topic",
                                                "NOTICE bob :hi there", "QUIT :gone"}));
}

TEST_F(MenuOverCommandLineTest, NotConnectedIsReportedAndNothingSent) {
    env.session.state.socket = kInvalidSocket;
    env.host.textAnswers = {u"#a"};
    const std::size_t before = env.lines(0).size();
    EXPECT_EQ(menu.ObslugaMenuCommands(40101), 0);
    EXPECT_TRUE(sockets.sent.empty());
    ASSERT_EQ(env.lines(0).size(), before + 1);
    EXPECT_EQ(env.lines(0).back(), u"* /JOIN: not connected to server");
}

}  // namespace
}  // namespace kolu
