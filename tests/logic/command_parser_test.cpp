// The command line: what each typed line sends to the server and shows in which
// tab, in which colour, and what it returns.
#include <gtest/gtest.h>

#include <map>
#include <ostream>

#include "commands/command_parser.h"
#include "commands/input_line_model.h"
#include "commands/word_teacher.h"
#include "platform/text.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

constexpr SocketHandle kSocket = 7;

enum class Paint { Local, Normal, Action, Ping };

struct Shown {
    std::u16string tab;
    std::u16string text;
    Paint paint;
    bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& shown, std::ostream* os) {
    static const char* const kPaints[] = {"local", "Normal", "Action", "Ping"};
    *os << "[" << toUtf8(shown.tab) << "] \"" << toUtf8(shown.text) << "\" "
        << kPaints[static_cast<int>(shown.paint)];
}

class RecordingTeacher final : public WordTeacher {
  public:
    std::vector<std::u16string> taught;
    void DbDodajTekst(std::u16string_view text) override { taught.emplace_back(text); }
};

class CommandLineTest : public ::testing::Test {
  protected:
    CommandLineTest() {
        sockets.acceptSends = true;
        state().socket = kSocket;
        state().currentNick = u"me";
        setString(u"partmsg", u"bye now");
        setString(u"quitmsg", u"gone");
        env.settings.settings.RegZapiszLONG(u"whspteach", 0);
        // 2007-09-02 11:18:08 UTC, 1188731888 seconds after the epoch.
        SystemTime& utc = env.settings.clock.utc;
        utc.year = 2007;
        utc.month = 9;
        utc.day = 2;
        utc.hour = 11;
        utc.minute = 18;
        utc.second = 8;
    }

    SessionState& state() { return env.session.state; }
    TabRegistry& tabs() { return env.session.tabs; }
    void setString(std::u16string_view name, std::u16string_view value) {
        env.settings.settings.RegZapiszMsg(name, value, 500);
    }
    void open(const std::vector<std::u16string>& names, std::u16string_view selected) {
        for (const std::u16string& name : names) {
            tabs().dodaj_zakladke(name);
        }
        tabs().select(selected.empty() ? 0 : tabs().znajdz_zakladke(selected));
        for (int i = 0; i < tabs().count(); ++i) {
            m_before[tabs().pobierz_nazwe(i, 100)] = env.lines(i).size();
        }
    }
    int type(std::u16string_view text) {
        input.setText(text);
        return parser.parsuj(input);
    }
    // What went out on the wire, one entry per line, line feeds removed.
    std::vector<std::string> sent() const {
        std::vector<std::string> lines;
        for (const std::string& piece : sockets.sent) {
            lines.push_back(piece.substr(0, piece.size() - (piece.ends_with('\n') ? 1 : 0)));
        }
        return lines;
    }
    // The lines added since open(), tab by tab.
    std::vector<Shown> shown() {
        std::vector<Shown> result;
        for (int i = 0; i < tabs().count(); ++i) {
            const std::u16string label = tabs().pobierz_nazwe(i, 100);
            const TextLines* view = tabs().pobierz_hwndtxtbiez(i);
            for (std::size_t line = m_before[label]; line < view->lineCount(); ++line) {
                const TextLines::Line added = view->line(line);
                result.push_back({label, std::u16string(added.text), paintOf(added.colour)});
            }
        }
        return result;
    }
    Paint paintOf(Colour colour) const {
        if (colour == kLocalMessageColour) {
            return Paint::Local;
        }
        for (Paint paint : {Paint::Action, Paint::Ping, Paint::Normal}) {
            const LineClass lineClass = paint == Paint::Action ? LineClass::Action
                                        : paint == Paint::Ping ? LineClass::Ping
                                                               : LineClass::Normal;
            if (env.colours.of(lineClass) == colour) {
                return paint;
            }
        }
        ADD_FAILURE() << "unexpected colour " << colour;
        return Paint::Local;
    }

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
    RecordingTeacher teacher;
    CommandParser parser{
        {env.session.state, env.session.connection, env.session.tabs, env.session.output,
         env.settings.settings, env.colours, env.settings.clock, env.host},
        &teacher};
    InputLineModel input;

  private:
    std::map<std::u16string, std::size_t> m_before;
};

struct Row {
    const char* name;
    std::u16string input;
    std::vector<std::string> sent = {};
    std::vector<Shown> shown = {};
    std::u16string selected = u"#a";
    std::vector<std::u16string> tabs = {u"#a"};
    int result = 0;
    bool connected = true;
    bool direct = false;  // through ParsujKomende, as menus do, untrimmed
    std::u16string partmsg = u"bye now";
    std::u16string quitmsg = u"gone";
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name << ": " << toUtf8(row.input);
}

const std::string kPing = "PRIVMSG bob :\x01PING 1188731888\x01";
const std::u16string kInsufficient = u": insufficient parameters";
// Too long for one line from "me" however it is sent; either half fits.
const std::string kX(300, 'x'), kY(200, 'y');
const std::u16string kLong = fromUtf8(kX + " " + kY), kX16 = fromUtf8(kX), kY16 = fromUtf8(kY);

const Row kRows[] = {
    {.name = "TextOnStatusTab",
     .input = u"hello",
     .sent = {},
     .shown = {{u"Status", u"*** You're not on a channel", Paint::Local}},
     .selected = u""},
    {.name = "TextOnStatusTabDisconnected",
     .input = u"hello",
     .sent = {},
     .shown = {{u"Status", u"*** You're not on a channel", Paint::Local}},
     .selected = u"",
     .connected = false},
    {.name = "TextInChannel",
     .input = u"hello  there  ",
     .sent = {"PRIVMSG #a :hello  there"},
     .shown = {{u"#a", u"<me> hello  there", Paint::Normal}}},
    {.name = "TextDisconnected",
     .input = u"hello",
     .sent = {},
     .shown = {{u"#a", u"*** Not connected to server", Paint::Local}},
     .connected = false},
    {.name = "JoinKeepsTypedCase", .input = u"/JOIN #a", .sent = {"JOIN #a"}},
    {.name = "JoinWithKey", .input = u"/join #b key", .sent = {"join #b key"}},
    {.name = "ModeHasNoTrailingParameter", .input = u"/mode #a +o bob", .sent = {"mode #a +o bob"}},
    {.name = "PartTakesPartmsg", .input = u"/part #a", .sent = {"part #a :bye now"}},
    {.name = "PartWithoutPartmsg", .input = u"/part #a", .sent = {"part #a"}, .partmsg = u""},
    {.name = "PartWithMessage", .input = u"/part #a see you", .sent = {"part #a :see you"}},
    {.name = "PartAlone", .input = u"/part", .sent = {"part"}},
    {.name = "QuitTakesQuitmsg", .input = u"/quit", .sent = {"quit :gone"}, .result = 1},
    {.name = "QuitWithMessage",
     .input = u"/QUIT later on",
     .sent = {"QUIT :later on"},
     .result = 1},
    {.name = "QuitWithoutQuitmsg",
     .input = u"/quit",
     .sent = {"quit"},
     .result = 1,
     .quitmsg = u""},
    {.name = "TopicAsked", .input = u"/topic #c", .sent = {"topic #c"}},
    {.name = "TopicSet", .input = u"/topic #c new  topic", .sent = {"topic #c :new  topic"}},
    {.name = "KickWithoutReason", .input = u"/kick #a bob", .sent = {"kick #a bob"}},
    {.name = "KickWithReason", .input = u"/kick #c bob go away", .sent = {"kick #c bob :go away"}},
    {.name = "MsgIntoExistingTab",
     .input = u"/msg bob hi there",
     .sent = {"PRIVMSG bob :hi there"},
     .shown = {{u"Bob", u"<me> hi there", Paint::Normal}},
     .tabs = {u"#a", u"Bob"}},
    {.name = "MsgElsewhere",
     .input = u"/msg bob hi there",
     .sent = {"PRIVMSG bob :hi there"},
     .shown = {{u"#a", u"-> *bob* hi there", Paint::Normal}}},
    {.name = "MsgFromStatusTab",
     .input = u"/msg bob hi",
     .sent = {"PRIVMSG bob :hi"},
     .shown = {{u"Status", u"-> *bob* hi", Paint::Normal}},
     .selected = u""},
    {.name = "MsgWithoutText",
     .input = u"/msg bob",
     .sent = {},
     .shown = {{u"#a", u"* /msg" + kInsufficient, Paint::Local}}},
    {.name = "MsgErrorKeepsTypedWord",
     .input = u"/MSG",
     .sent = {},
     .shown = {{u"#a", u"* /MSG" + kInsufficient, Paint::Local}}},
    {.name = "QueryChannelWithText",
     .input = u"/query #x hi",
     .sent = {"PRIVMSG #x :hi"},
     .shown = {{u"#a", u"-> *#x* hi", Paint::Normal}}},
    {.name = "QueryWithText",
     .input = u"/query bob hi",
     .sent = {"PRIVMSG bob :hi"},
     .shown = {{u"bob", u"<me> hi", Paint::Normal}}},
    {.name = "QueryWithoutTarget",
     .input = u"/query",
     .sent = {},
     .shown = {{u"#a", u"* /query" + kInsufficient, Paint::Local}}},
    {.name = "PingWithFixedClock",
     .input = u"/ping bob",
     .sent = {kPing},
     .shown = {{u"#a", u"-> [bob] PING", Paint::Ping}}},
    {.name = "PingDropsTheRest",
     .input = u"/PING bob and more",
     .sent = {kPing},
     .shown = {{u"#a", u"-> [bob] PING", Paint::Ping}}},
    {.name = "PingAlone", .input = u"/ping", .sent = {}},
    {.name = "PingWithBlankOnly", .input = u"/ping ", .sent = {}, .direct = true},
    {.name = "MeOnStatusTab",
     .input = u"/me waves",
     .sent = {},
     .shown = {{u"Status", u"* /me: can't use /me in this window", Paint::Local}},
     .selected = u""},
    {.name = "MeWithoutText",
     .input = u"/me",
     .sent = {},
     .shown = {{u"#a", u"* /me" + kInsufficient, Paint::Local}}},
    {.name = "MeInChannel",
     .input = u"/me   waves  twice",
     .sent = {"PRIVMSG #a :\x01"
              "ACTION waves  twice\x01"},
     .shown = {{u"#a", u"* me waves  twice", Paint::Action}}},
    {.name = "NoticeWithoutText",
     .input = u"/notice bob",
     .sent = {},
     .shown = {{u"#a", u"* /notice" + kInsufficient, Paint::Local}}},
    {.name = "NoticeWithoutTarget",
     .input = u"/Notice",
     .sent = {},
     .shown = {{u"#a", u"* /Notice" + kInsufficient, Paint::Local}}},
    {.name = "Notice",
     .input = u"/notice bob hello there",
     .sent = {"notice bob :hello there"},
     .shown = {{u"#a", u"-> -bob- hello there", Paint::Normal}}},
    {.name = "AwayBack", .input = u"/away", .sent = {"away"}},
    {.name = "AwayWithMessage", .input = u"/away gone  fishing", .sent = {"away :gone  fishing"}},
    {.name = "AwayWithBlankFromMenu", .input = u"/away ", .sent = {"away :"}, .direct = true},
    {.name = "Ison", .input = u"/ison alice bob", .sent = {"ison :alice bob"}},
    {.name = "UnknownCommand", .input = u"/foo a  b", .sent = {"foo a  b"}},
    {.name = "RawLineAtTheLimit",
     .input = u"/foo " + std::u16string(506, u'x'),
     .sent = {"foo " + std::string(506, 'x')}},
    {.name = "RawLineOverTheLimitInBytes",
     .input = u"/foo " + std::u16string(253, u'\u00e9') + u"ab",
     .sent = {},
     .shown = {{u"#a", u"*** Line too long (512 bytes, at most 510): not sent", Paint::Local}}},
    {.name = "LongTextInPieces",
     .input = kLong,
     .sent = {"PRIVMSG #a :" + kX, "PRIVMSG #a :" + kY},
     .shown = {{u"#a", u"<me> " + kX16, Paint::Normal}, {u"#a", u"<me> " + kY16, Paint::Normal}}},
    {.name = "LongActionInPieces",
     .input = u"/me " + kLong,
     .sent = {"PRIVMSG #a :\x01"
              "ACTION " +
                  kX + "\x01",
              "PRIVMSG #a :\x01"
              "ACTION " +
                  kY + "\x01"},
     .shown = {{u"#a", u"* me " + kX16, Paint::Action}, {u"#a", u"* me " + kY16, Paint::Action}}},
    {.name = "LoneSlash", .input = u"/", .sent = {}},
    {.name = "NotConnected",
     .input = u"/join #a",
     .sent = {},
     .shown = {{u"#a", u"* /join: not connected to server", Paint::Local}},
     .connected = false},
    {.name = "NotConnectedOnStatus",
     .input = u"/quit",
     .sent = {},
     .shown = {{u"Status", u"* /quit: not connected to server", Paint::Local}},
     .selected = u"",
     .connected = false},
};

class CommandTable : public CommandLineTest, public ::testing::WithParamInterface<Row> {};

TEST_P(CommandTable, SendsShowsAndReturns) {
    const Row& row = GetParam();
    setString(u"partmsg", row.partmsg);
    setString(u"quitmsg", row.quitmsg);
    if (!row.connected) {
        state().socket = kInvalidSocket;
    }
    open(row.tabs, row.selected);
    const int result =
        row.direct ? parser.ParsujKomende(row.input, tabs().pobierz_nazwebiez()) : type(row.input);
    EXPECT_EQ(sent(), row.sent);
    EXPECT_EQ(shown(), row.shown);
    EXPECT_EQ(result, row.result);
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandTable, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineWire, ColonGoesAfterTheNthRunOfSpaces) {
    struct Case {
        std::u16string_view line;
        int n;
        std::u16string_view sent;
    };
    const Case cases[] = {
        {u"/kick #c bob go away", 3, u"kick #c bob :go away"},
        {u"/topic #c", 2, u"topic #c"},
        {u"/away ", 1, u"away :"},
        {u"/Join #a", 0, u"Join #a"},
        {u"/a  b   c d", 2, u"a  b   :c d"},
        {u"/a b", 5, u"a b"},
        {u"/", 1, u""},
        {u"", 2, u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toUtf8(CommandParser::commandLine(c.line, c.n)), toUtf8(c.sent))
            << toUtf8(c.line) << " n=" << c.n;
    }
    EXPECT_EQ(CommandParser::czytaj_komende(u"/msg bob hi"), u"/msg");
    EXPECT_EQ(CommandParser::czytaj_komende(u"/who\tx"), u"/who\tx");
}

TEST_F(CommandLineTest, QueryOpensATabWithoutSelectingItAndSendsNothing) {
    open({u"#a"}, u"#a");
    EXPECT_EQ(type(u"/query bob"), 0);
    EXPECT_NE(tabs().znajdz_zakladke(u"bob"), -1);
    EXPECT_EQ(tabs().pobierz_nazwebiez(), u"#a");
    EXPECT_TRUE(sent().empty());
    type(u"/query #x");
    EXPECT_EQ(tabs().znajdz_zakladke(u"#x"), -1);
    EXPECT_EQ(tabs().count(), 3);
}

TEST_F(CommandLineTest, IsonMarksTheNextAnswerAsTheUsers) {
    open({u"#a"}, u"#a");
    state().socket = kInvalidSocket;
    type(u"/ison alice");
    EXPECT_FALSE(state().userIsonPending);
    state().socket = kSocket;
    type(u"/ISON alice");
    EXPECT_TRUE(state().userIsonPending);
    // Another command doesn't clear it.
    type(u"/join #b");
    EXPECT_TRUE(state().userIsonPending);
}

TEST_F(CommandLineTest, OnlyQuitYieldsTheUserQuitResult) {
    open({u"#a"}, u"#a");
    EXPECT_EQ(type(u"/quit"), 1);
    EXPECT_EQ(type(u"hello"), 0);
    EXPECT_EQ(parser.ParsujKomende(u"/Quit now", u"#a"), 1);
    EXPECT_EQ(type(u"/quitting"), 0);  // another word
    EXPECT_EQ(sent().back(), "quitting");
}

TEST_F(CommandLineTest, PastedLinesAreEnteredOneByOneAndManyOnlyAfterAYes) {
    open({u"#a"}, u"#a");
    type(u"one\r\ntwo  \n\n/me three\r");
    EXPECT_EQ(sent(), (std::vector<std::string>{"PRIVMSG #a :one", "PRIVMSG #a :two",
                                                "PRIVMSG #a :\x01"
                                                "ACTION three\x01"}));
    EXPECT_EQ(input.history(), (std::vector<std::u16string>{u"one", u"two", u"/me three"}));
    EXPECT_TRUE(env.host.questions.empty());

    const std::u16string twelve = u"a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl";
    sockets.sent.clear();
    for (bool yes : {false, true}) {
        env.host.yesNoAnswers = {yes};
        type(twelve);
        EXPECT_EQ(env.host.questions, std::vector<test::MessageBoxCall>(
                                          yes ? 2 : 1, {u"Send 12 lines to #a?", u"Paste"}));
        EXPECT_EQ(input.text(), yes ? u"" : twelve);
        EXPECT_EQ(sent().size(), yes ? 12u : 0u);
    }
    EXPECT_EQ(sent().back(), "PRIVMSG #a :l");
}

TEST_F(CommandLineTest, EmptyInputDoesNothing) {
    open({u"#a"}, u"#a");
    EXPECT_EQ(type(u""), 0);
    EXPECT_EQ(type(u"   "), 0);
    EXPECT_TRUE(input.history().empty());
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(shown().empty());
}

TEST_F(CommandLineTest, HistoryKeepsOneEntryPerTextIgnoringCaseNewestLast) {
    struct Observer final : InputLineObserver {
        int roomRequests = 0;
        void dropDownRoomNeeded() override { ++roomRequests; }
    } observer;
    input.setObserver(&observer);
    open({u"#a"}, u"#a");
    for (std::u16string_view line : {u"hello", u"HELLO", u"/join #b", u"other  ", u"Hello"}) {
        type(line);
        EXPECT_EQ(input.text(), u"");
    }
    EXPECT_EQ(input.history(), (std::vector<std::u16string>{u"/join #b", u"other", u"Hello"}));
    EXPECT_EQ(observer.roomRequests, 1);
}

TEST(InputLine, UpAndDownWalkTheHistoryAndKeepTheDraft) {
    InputLineModel input;
    input.setText(u"draft");
    input.historyUp();
    input.historyDown();
    EXPECT_EQ(input.text(), u"draft");
    for (std::u16string_view line : {u"one", u"two", u"three"}) {
        input.addToHistory(line);
    }
    input.historyUp();
    EXPECT_EQ(input.text(), u"three");
    input.historyUp();
    EXPECT_EQ(input.text(), u"two");
    input.historyDown();
    EXPECT_EQ(input.text(), u"three");
    input.historyDown();
    EXPECT_EQ(input.text(), u"draft");
    EXPECT_EQ(input.selection(), -1);
    input.historyDown();  // already at the draft
    EXPECT_EQ(input.text(), u"draft");
    input.historyUp();
    input.historyUp();
    input.historyUp();
    input.historyUp();  // the oldest stays
    EXPECT_EQ(input.text(), u"one");
    EXPECT_EQ(input.selection(), 0);
    input.resetHistoryPosition();  // Enter
    input.historyUp();
    EXPECT_EQ(input.text(), u"three");
}

TEST_F(CommandLineTest, ErrorLinesAreCutToTheMessageBufferAtAWholeCharacter) {
    open({u"#a"}, u"#a");
    state().socket = kInvalidSocket;
    type(u"/" + std::u16string(300, u'x'));
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, u"* /" + std::u16string(252, u'x'));

    // A character of two units that would straddle the end is left out whole.
    open({}, u"#a");
    type(u"/" + std::u16string(251, u'y') + u"\U0001F600 more");
    ASSERT_EQ(shown().size(), 1u);
    EXPECT_EQ(shown()[0].text, u"* /" + std::u16string(251, u'y'));
}

TEST_F(CommandLineTest, SentTextIsTaughtWhenSelfTeachingIsOn) {
    open({u"#a"}, u"#a");
    type(u"hello there");
    type(u"/me waves");
    EXPECT_TRUE(teacher.taught.empty());

    env.settings.settings.RegZapiszLONG(u"whspteach", 1);
    type(u"hello there");
    type(u"/me waves");
    type(u"/join #b");
    type(u"/msg Bob hi");
    EXPECT_EQ(teacher.taught, (std::vector<std::u16string>{u"hello there", u"/me waves", u"waves",
                                                           u"/join #b", u"/msg Bob hi"}));

    // A setting that reads as missing (-1) leaves self-teaching on.
    teacher.taught.clear();
    env.settings.putString(kSettingsKey, u"whspteach", u"on");
    ASSERT_EQ(env.settings.settings.RegCzytajLONG(u"whspteach"), -1);
    type(u"hi");
    EXPECT_EQ(teacher.taught, std::vector<std::u16string>{u"hi"});

    // A command that is not sent teaches nothing.
    teacher.taught.clear();
    state().socket = kInvalidSocket;
    type(u"/join #c");
    EXPECT_TRUE(teacher.taught.empty());
}

}  // namespace
}  // namespace kolu
