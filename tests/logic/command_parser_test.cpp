// The command line and the Commands menu. Plain text, /me, /msg and long
// messages against a real server are in tests/integration.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "commands/command_parser.h"
#include "commands/input_line_model.h"
#include "commands/menu_commands.h"
#include "commands/secret_mask.h"
#include "completion/word_teacher.h"
#include "platform/text.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

constexpr SocketHandle kSocket = 7;
using Strings = std::vector<std::string>;
using Texts = std::vector<std::u16string>;

class RecordingTeacher final : public WordTeacher {
  public:
    Texts taught;
    void DbDodajTekst(std::u16string_view text) override { taught.emplace_back(text); }
};

class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
        sockets.acceptSends = true;
        state().socket = kSocket;
        state().currentNick = u"me";
        env.settings.settings.RegZapiszMsg(u"quitmsg", u"gone", 500);
        env.settings.settings.RegZapiszLONG(u"whspteach", 0);
        // 1188731888 seconds after the epoch.
        env.settings.clock.utc = SystemTime{2007, 9, 0, 2, 11, 18, 8, 0};
    }
    SessionState& state() { return env.session.state; }
    TabRegistry& tabs() { return env.session.tabs; }
    // Opens the tabs in turn; the last one (or else the status tab) is selected.
    void open(const Texts& names) {
        for (const std::u16string& name : names) {
            tabs().dodaj_zakladke(name);
        }
        tabs().select(names.empty() ? 0 : tabs().znajdz_zakladke(names.back()));
    }
    int type(std::u16string_view text) {
        input.setText(text);
        return parser.parsuj(input);
    }
    // The lines shown, as "tab|text|colour": L(ocal), N(ormal), A(ction), P(ing).
    Texts shown() {
        const std::map<Colour, char16_t> paint{{kLocalMessageColour, u'L'},
                                               {env.colours.of(LineClass::Normal), u'N'},
                                               {env.colours.of(LineClass::Action), u'A'},
                                               {env.colours.of(LineClass::Ping), u'P'}};
        Texts result;
        for (int i = 0; i < tabs().count(); ++i) {
            const std::u16string label = tabs().pobierz_nazwe(i, 100);
            const TextLines* view = tabs().pobierz_hwndtxtbiez(i);
            for (std::size_t line = 0; line < view->lineCount(); ++line) {
                const TextLines::Line added = view->line(line);
                result.push_back(label + u"|" + std::u16string(added.text) + u"|" +
                                 paint.at(added.colour));
            }
        }
        return result;
    }

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
    RecordingTeacher teacher;
    CommandParser parser{
        {env.session.state, env.session.connection, env.session.tabs, env.session.output,
         env.settings.settings, env.colours, env.settings.clock, env.host},
        &teacher};
    InputLineModel input;
};

struct Row {
    const char* name;
    std::u16string input;
    Strings sent = {};
    Texts shown = {};
    Texts tabs = {u"#a"};
    bool connected = true;
    int result = 0;
    bool direct = false;  // through ParsujKomende, as menus do, untrimmed
    std::u16string partmsg = u"bye now";
};

const std::string kPing = "PRIVMSG bob :\x01PING 1188731888\x01";
const std::string kAction = std::string("PRIVMSG #a :\x01") + "ACTION ";
// Too long for one line from "me" however it is sent; either half fits.
const std::string kX(300, 'x'), kY(200, 'y');

const Row kRows[] = {
    {"TextOnStatusTab", u"hello", {}, {u"Status|*** You're not on a channel|L"}, {}},
    {"TextDisconnected", u"hello", {}, {u"#a|*** Not connected to server|L"}, {u"#a"}, false},
    {"JoinKeepsTypedCase", u"/JOIN #a key", {"JOIN #a key"}},
    {"LeavingTakesTheSetMessage", u"/part #a", {"part #a :bye now"}},
    {"LeavingWithoutASetMessage", u"/part #a", {"part #a"}, {}, {u"#a"}, true, 0, false, u""},
    {"QuitTakesQuitmsg", u"/quit", {"quit :gone"}, {}, {u"#a"}, true, 1},
    {"QuitIsAWholeWord", u"/quitting", {"quitting"}},
    {"KickWithReason", u"/kick #c bob go away", {"kick #c bob :go away"}},
    {"MsgIntoExistingTab",
     u"/msg bob hi there",
     {"PRIVMSG bob :hi there"},
     {u"Bob|<me> hi there|N"},
     {u"Bob", u"#a"}},
    {"MsgWithoutText", u"/msg bob", {}, {u"#a|* /msg: insufficient parameters|L"}},
    {"QueryWithText", u"/query bob hi", {"PRIVMSG bob :hi"}, {u"bob|<me> hi|N"}},
    {"PingDropsTheRest", u"/PING bob and more", {kPing}, {u"#a|-> [bob] PING|P"}},
    {"PingWithBlankOnly", u"/ping ", {}, {}, {u"#a"}, true, 0, true},
    {"MeOnStatusTab", u"/me waves", {}, {u"Status|* /me: can't use /me in this window|L"}, {}},
    {"Notice", u"/notice bob hi", {"notice bob :hi"}, {u"#a|-> -bob- hi|N"}},
    {"AwayWithBlankFromMenu", u"/away ", {"away :"}, {}, {u"#a"}, true, 0, true},
    {"RawLineAtTheLimit", u"/foo " + std::u16string(506, u'x'), {"foo " + std::string(506, 'x')}},
    {"RawLineOverTheLimitInBytes",
     u"/foo " + std::u16string(253, u'\u00e9') + u"ab",
     {},
     {u"#a|*** Line too long (512 bytes, at most 510): not sent|L"}},
    {"LongActionInPieces",
     u"/me " + fromUtf8(kX + " " + kY),
     {kAction + kX + "\x01", kAction + kY + "\x01"},
     {u"#a|* me " + fromUtf8(kX) + u"|A", u"#a|* me " + fromUtf8(kY) + u"|A"}},
};

class CommandTable : public CommandLineTest, public ::testing::WithParamInterface<Row> {};

TEST_P(CommandTable, SendsShowsAndReturns) {
    const Row& row = GetParam();
    env.settings.settings.RegZapiszMsg(u"partmsg", row.partmsg, 500);
    if (!row.connected) {
        state().socket = kInvalidSocket;
    }
    open(row.tabs);
    const int result =
        row.direct ? parser.ParsujKomende(row.input, tabs().pobierz_nazwebiez()) : type(row.input);
    EXPECT_EQ(sockets.sentLines(), row.sent);
    EXPECT_EQ(shown(), row.shown);
    EXPECT_EQ(result, row.result);
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineWire, ColonGoesAfterTheNthRunOfSpaces) {
    EXPECT_EQ(CommandParser::commandLine(u"/a  b   c d", 2), u"a  b   :c d");
    EXPECT_EQ(CommandParser::commandLine(u"/a b", 5), u"a b");
    EXPECT_EQ(CommandParser::commandLine(u"", 2), u"");
}

TEST_F(CommandLineTest, PastedLinesAreEnteredOneByOneAndManyOnlyAfterAYesAndSentTextIsTaught) {
    open({u"#a"});
    // Pasted, a line beginning with '/' is text like the others, never run.
    type(u"one\r\ntwo  \n\n/etc/hosts\r");
    EXPECT_EQ(sockets.sentLines(),
              (Strings{"PRIVMSG #a :one", "PRIVMSG #a :two", "PRIVMSG #a :/etc/hosts"}));
    EXPECT_EQ(input.history(), (Texts{u"one", u"two", u"/etc/hosts"}));

    // Many lines wait for a yes (tests/integration answers yes to fifty).
    const std::u16string twelve = u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\n/l";
    type(twelve);
    const test::MessageBoxCall question{
        u"Send 12 lines to #a?\nLines beginning with \"/\" are sent as text, not run as commands.",
        u"Paste"};
    EXPECT_EQ(env.host.questions, std::vector{question});
    EXPECT_EQ(input.text(), twelve);
    EXPECT_EQ(sockets.sentLines().size(), 3u);

    // Sent text is taught when self-teaching is on.
    type(u"hello there");
    env.settings.settings.RegZapiszLONG(u"whspteach", 1);
    type(u"/me waves");
    state().socket = kInvalidSocket;
    type(u"/join #c");  // not sent: teaches nothing
    state().socket = kSocket;
    // A setting that reads as missing (-1) leaves self-teaching on.
    env.settings.putString(kSettingsKey, u"whspteach", u"on");
    type(u"/msg Bob hi");
    EXPECT_EQ(teacher.taught, (Texts{u"/me waves", u"waves", u"/msg Bob hi"}));
}

// However many lines a paste brings, the history changes once and keeps the newest histmax.
TEST_F(CommandLineTest, AHistoryOfHistmaxLinesTakesAPasteInOneChange) {
    struct Counting final : InputLineObserver {
        int changes = 0;
        void historyChanged() override { ++changes; }
    } counting;
    open({u"#a"});
    env.settings.settings.RegZapiszLONG(u"histmax", 3);
    type(u"one");
    type(u"two");
    input.setObserver(&counting);
    type(u"x\nTWO\ny\nx");
    EXPECT_EQ(counting.changes, 1);
    EXPECT_EQ(input.history(), (Texts{u"TWO", u"y", u"x"}));
    input.setObserver(nullptr);
}

TEST_F(CommandLineTest, ErrorLinesAreCutToTheMessageBufferAtAWholeCharacter) {
    open({u"#a"});
    state().socket = kInvalidSocket;
    type(u"/" + std::u16string(300, u'x'));
    // A character of two units that would straddle the end is left out whole.
    type(u"/" + std::u16string(251, u'y') + u"\U0001F600 more");
    EXPECT_EQ(shown(), (Texts{u"#a|* /" + std::u16string(252, u'x') + u"|L",
                              u"#a|* /" + std::u16string(251, u'y') + u"|L"}));
}

// The Commands menu hands its answers to the same command line.
TEST_F(CommandLineTest, MenuAnswersAreCutToTheirBuffersAtAWholeCharacter) {
    MenuCommands menu{env.host, env.session.commands};
    // 248 letters then a surrogate pair: the pair would end past 249 and is dropped whole.
    env.host.textAnswers = {std::u16string(300, u'a'), std::u16string(248, u'b') + u"\U0001F600"};
    env.host.twoFieldAnswers = {std::make_pair(std::u16string(260, u'c'), u"d")};
    menu.ObslugaMenuCommands(40105);
    menu.ObslugaMenuCommands(40105);
    menu.ObslugaMenuCommands(40111);
    EXPECT_EQ(sockets.sentLines(),
              (Strings{"WHOIS " + std::string(249, 'a'), "WHOIS " + std::string(248, 'b'),
                       "INVITE " + std::string(250, 'c') + " d"}));
}

// Lines as typed (in tab "#a" unless the line names the tab) and as they may be shown.
TEST(PasswordMask, OnlyThePasswordOfALineToTheNicknameServiceIsMasked) {
    struct Case {
        std::u16string_view tab, line, shown;
        bool commands = true;
    };
    const Case cases[] = {
        {u"#a", u"/msg NickServ IDENTIFY hunter2", u"/msg NickServ IDENTIFY ********"},
        {u"#a", u"/MSG nickserv@services.example identify acct pw",
         u"/MSG nickserv@services.example identify acct ********"},
        {u"#a", u"/query NickServ  register  pw  me@example.org",
         u"/query NickServ  register  ********  me@example.org"},
        {u"#a", u"/privmsg NickServ :LOGIN acct pw", u"/privmsg NickServ :LOGIN acct ********"},
        {u"#a", u"/nickserv GHOST me pw", u"/nickserv GHOST me ********"},
        {u"#a", u"/ns set password pw", u"/ns set password ********"},
        {u"NickServ", u"recover me pw", u"recover me ********"},
        {u"NickServ", u"release me pw", u"release me ********", false},
        // Without the password argument, to another target or not a password command: as typed.
        {u"#a", u"/ns GHOST me", u"/ns GHOST me"},
        {u"#a", u"/ns SET EMAIL x@y", u"/ns SET EMAIL x@y"},
        {u"#a", u"/msg NickServs IDENTIFY pw", u"/msg NickServs IDENTIFY pw"},
        {u"#a", u"/notice NickServ IDENTIFY pw", u"/notice NickServ IDENTIFY pw"},
        {u"#a", u"/ msg NickServ IDENTIFY pw", u"/ msg NickServ IDENTIFY pw"},
        {u"#a", u"IDENTIFY pw", u"IDENTIFY pw"},
        {u"NickServ", u"/release me pw", u"/release me pw"},
        {u"#a", u"/", u"/"},
        {u"#a", u"/msg NickServ", u"/msg NickServ"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(masked(c.line, passwordInLine(c.line, c.tab, c.commands)), c.shown)
            << toUtf8(c.line);
    }
}

// What goes to the server keeps the password; the echo, the log, the history and
// the taught words never hold it, and a recalled mask is not sent as a password.
TEST_F(CommandLineTest, APasswordToTheNicknameServiceGoesOnlyToTheServer) {
    env.settings.settings.RegZapiszLONG(u"whspteach", 1);
    env.settings.settings.RegZapiszLONG(u"logpriv", 1);
    open({u"#a", u"NickServ"});
    type(u"/msg NickServ IDENTIFY hunter2");
    type(u"register pw2 me@example.org");
    tabs().select(tabs().znajdz_zakladke(u"#a"));
    type(u"/msg nickserv@services.example ghost me pw3");
    type(u"/ns identify pw4");
    EXPECT_EQ(sockets.sentLines(),
              (Strings{"PRIVMSG NickServ :IDENTIFY hunter2",
                       "PRIVMSG NickServ :register pw2 me@example.org",
                       "PRIVMSG nickserv@services.example :ghost me pw3", "ns identify pw4"}));
    EXPECT_EQ(shown(), (Texts{u"#a|-> *nickserv@services.example* ghost me ********|N",
                              u"NickServ|<me> IDENTIFY ********|N",
                              u"NickServ|<me> register ******** me@example.org|N"}));
    std::ifstream log(env.session.output.logFilePath(u"NickServ"), std::ios::binary);
    const std::string logged{std::istreambuf_iterator<char>(log), {}};
    EXPECT_NE(logged.find("<me> IDENTIFY ********"), logged.npos);
    EXPECT_EQ(logged.find("hunter2"), logged.npos);
    Texts typed{u"/msg NickServ IDENTIFY ********", u"register ******** me@example.org",
                u"/msg nickserv@services.example ghost me ********", u"/ns identify ********"};
    EXPECT_EQ(input.history(), typed);
    typed.insert(typed.begin() + 1, u"IDENTIFY ********");  // the text of the /msg
    EXPECT_EQ(teacher.taught, typed);

    input.historyUp();
    parser.parsuj(input);
    EXPECT_EQ(sockets.sentLines().size(), 4u);
    EXPECT_EQ(input.text(), u"/ns identify ********");
    EXPECT_EQ(shown().at(1),
              u"#a|*** Type the password in place of ********: the history does not keep it|L");
}

}  // namespace
}  // namespace kolu
