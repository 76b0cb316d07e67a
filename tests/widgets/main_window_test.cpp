// The main window as a user meets it: connecting with the event loop turning, a real ngIRCd,
// Options, a channel tab's layout and menus, completion, favourites, teardown.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <algorithm>
#include <thread>

#include "commands/favorites.h"
#include "connection/tls_trust.h"
#include "gui/color_edit.h"
#include "gui/drawn_button.h"
#include "gui/find_bar.h"
#include "gui/history_keeper.h"
#include "gui/input_line.h"
#include "gui/main_window.h"
#include "gui/prompt_dialogs.h"
#include "gui/tab_strip.h"
#include "gui/user_list_view.h"
#include "gui/whisper_hook.h"
#include "gui/whisper_list.h"
#include "options/options_dialog.h"
#include "options/quick_palette.h"
#include "options/view_page.h"
#include "platform/files.h"
#include "platform/qt/single_instance.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "protocol/inbound.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_bus.h"
#include "tests/support/tls_test_server.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

// Real sockets; a test may act once right after a connect has begun.
class ConnectHookSockets final : public PosixSocketLayer {
  public:
    std::function<void()> afterConnect;
    int connect(SocketHandle sock, const SocketAddress& address, std::uint16_t port) override {
        const int result = PosixSocketLayer::connect(sock, address, port);
        if (afterConnect) {
            std::exchange(afterConnect, nullptr)();
        }
        return result;
    }
};

// The real main window over fresh first-run settings, one favourite sentence and the default
// colours; useServer names the one server a connect goes to, logging in as kolu.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.settings.RegTworzKlucz();
        env.settings.RegZapiszLONG(u"sendpace", 0);  // the clock stands still
        env.write("favorites.txt", "first sentence\r\n");
        window = std::make_unique<MainWindow>(MainWindowServices{
            env.settings, env.log, sockets, sound, env.clock, env.random, colours});
        window->show();
    }
    Session& session() { return window->session(); }
    void useServer(int port, const std::string& portPrefix = "") {
        writeFileAtomically(env.dir.file("servers.txt"),
                            "Test\t127.0.0.1\t" + portPrefix + std::to_string(port) + "\t\r\n",
                            0600);
        env.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    }
    int tab(std::u16string_view name) { return session().tabs.znajdz_zakladke(name); }
    std::vector<std::u16string> linesOf(int index) { return test::tabLines(session().tabs, index); }
    bool tabShows(int index, std::u16string_view wanted) {
        return test::anyLineHas(linesOf(index), wanted);
    }
    std::size_t members(std::u16string_view channel) {
        return test::memberLabels(session().tabs, channel).size();
    }
    QLineEdit* edit() { return window->inputLine().editControl(); }
    void startTyping() {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        edit()->setFocus();
    }
    QString connectLabel() { return window->action(MainWindow::kConnectId)->text(); }

    void type(const QString& keys) { QTest::keyClicks(edit(), keys); }
    std::string shown() { return edit()->text().toStdString(); }
    void clear() {
        edit()->selectAll();
        QTest::keyClick(edit(), Qt::Key_Backspace);
    }
    WhisperList* list() { return window->inputWhispers().list(); }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        for (int i = 0; list() && i < list()->rows(); ++i) {
            out.push_back(list()->word(i).toStdString());
        }
        return out;
    }

    test::SettingsEnv env;
    ConnectHookSockets sockets;
    test::RecordingSound sound;
    ColourTable colours = test::defaultColours();
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, StartsAtTheHandheldsSizeRaisesInItsModeAndEndsBeforeItsModels) {
    // The offscreen screen is a 96 dpi desktop, not a handheld: scale 1.
    EXPECT_EQ(window->size(), QSize(480, 640));
    EXPECT_EQ(window->scaleFactor(), 1);
    window->showWelcome(false);
    const std::vector<std::u16string> status = linesOf(0);
    ASSERT_EQ(status.size(), 4u);
    EXPECT_EQ(status[1], u"Welcome to Kolu, version 1.3");

    // The button shows where it leads; a second start keeps the mode.
    auto* fullScreen = window->findChild<FullScreenButton*>();
    const QImage normal = fullScreen->grab().toImage();
    QTest::mouseClick(fullScreen, Qt::LeftButton);
    ASSERT_TRUE(window->isFullScreen());
    EXPECT_NE(fullScreen->grab().toImage(), normal);
    window->bringToFront();
    EXPECT_TRUE(window->isFullScreen());

    // Child widgets go while the window still holds their models: during its
    // own destructor it is still a MainWindow, later only its QWidget part.
    bool windowWhole = false;
    QObject* const whole = window.get();
    QObject::connect(&window->inputLine(), &QObject::destroyed,
                     [&](QObject*) { windowWhole = qobject_cast<MainWindow*>(whole) != nullptr; });
    window.reset();
    EXPECT_TRUE(windowWhole);
}

TEST_F(MainWindowTest, ReadsAndSendsWhileTheEventLoopKeepsTurning) {
    test::FakeIrcServer server;
    useServer(server.port());
    window->handleCommand(MainWindow::kConnectId);
    EXPECT_EQ(connectLabel(), QStringLiteral("Disconnect"));
    // The connect finishes in the event loop, which then sends the login.
    KOLU_WAIT_FOR(session().state.socket != kInvalidSocket, 5000);
    ASSERT_TRUE(server.waitForClient());
    EXPECT_TRUE(server.expectLine("nick kolu"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Marvoline Kolu v1.3"));
    // Lines are read the moment they arrive: no poll tick is needed.
    window->stopTimer(kPollTimer);
    server.send(
        ":irc.test 001 kolu :Welcome\r\n:kolu!me@host JOIN #kolu\r\n"
        ":irc.test 353 kolu = #kolu :@kolu other\r\n:irc.test 366 kolu #kolu :End\r\n");
    KOLU_WAIT_EQ(members(u"#kolu"), std::size_t{2}, 5000);

    // A flood leaves the event loop turning: a timer set once it has begun
    // fires before its last line is in.
    const TextLines& shown = *session().tabs.pobierz_hwndtxt(u"#kolu");
    const std::size_t before = shown.lineCount();
    constexpr std::size_t kFlood = 100000;
    std::string flood;
    for (std::size_t i = 0; i < kFlood; ++i) {
        flood += ":other!u@h PRIVMSG #kolu :flood line " + std::to_string(i) + "\r\n";
    }
    std::thread sender([&] { server.send(flood); });
    KOLU_WAIT_FOR(shown.lineCount() > before, 30000);
    std::size_t linesWhenTimerFired = 0;
    QTimer::singleShot(0, [&] { linesWhenTimerFired = shown.lineCount(); });
    KOLU_WAIT_EQ(shown.lineCount(), before + kFlood, 30000);
    sender.join();
    EXPECT_LT(linesWhenTimerFired, before + kFlood);
    EXPECT_GT(linesWhenTimerFired, before);

    // More than the socket buffers hold while the server reads nothing: the
    // window goes on at once and every line arrives whole, in order.
    // The pause outlasts any slow machine: sends that waited for the server would end after it.
    server.pauseReading(std::chrono::seconds(20));
    constexpr int kLong = 4600;
    const auto line = [](int i) { return std::string(980, 'a' + i % 26) + std::to_string(i); };
    for (int i = 0; i < kLong; ++i) {
        session().connection.wys(session().state.socket, u"PRIVMSG #kolu :" + fromUtf8(line(i)));
    }
    EXPECT_TRUE(server.readingPaused()) << "the sends waited for the server";
    server.pauseReading(std::chrono::milliseconds(0));
    KOLU_WAIT_FOR(server.received().find(line(kLong - 1)) != std::string::npos, 10000);
    for (int i = 0; i < kLong; ++i) {
        ASSERT_TRUE(server.expectLine("PRIVMSG #kolu :" + line(i)));
    }

    window->startTimer(kPollTimer, Connection::kPollIntervalMs);  // it ends the connection
    window->handleCommand(MainWindow::kConnectId);                // Disconnect
    KOLU_WAIT_EQ(connectLabel(), QStringLiteral("Connect"), 5000);
    EXPECT_EQ(window->userListView(tab(u"#kolu"))->rowAt(QPoint(2, 2)), -1);  // no members left
}

// Against a real ngIRCd. What Ban and Kick send after the WHOIS answer is the context
// menus' and query replies' logic tests'.
TEST_F(MainWindowTest, JoinsTalksShowsEachTabAndOpsTheTappedUserAgainstNgircd) {
    constexpr int kWaitMs = 10000;  // the poll timer ticks once a second
    using Raw = test::RawIrcClient;
    test::NgircdFixture server;
    useServer(server.port());
    window->handleCommand(MainWindow::kConnectId);
    KOLU_WAIT_FOR(session().state.currentNick == u"kolu", kWaitMs);
    test::whenModal<OneFieldPrompt>([](OneFieldPrompt* prompt) {
        QTest::keyClicks(prompt->field(), QStringLiteral("#e2e"));
        prompt->okButton()->click();
    });
    window->handleCommand(40101);  // Commands > Join
    KOLU_WAIT_EQ(members(u"#e2e"), std::size_t{1}, kWaitMs);
    const int channel = tab(u"#e2e");

    Raw other;
    ASSERT_TRUE(other.connect(server.host(), server.port()) && other.login("other"));
    ASSERT_TRUE(other.join("#e2e"));
    ASSERT_TRUE(other.send("PRIVMSG #e2e :hello from outside"));
    ASSERT_TRUE(other.send("PRIVMSG kolu :just between us"));
    KOLU_WAIT_FOR(tabShows(channel, u"<other> hello from outside"), kWaitMs);
    KOLU_WAIT_FOR(tabShows(tab(u"other"), u"<other> just between us"), kWaitMs);

    // The channel stays shown with its list; the query has its own tab, a text view and no list.
    EXPECT_TRUE(window->textView(channel)->isVisible());
    EXPECT_FALSE(window->textView(0)->isVisible());
    UserListView* list = window->userListView(channel);
    EXPECT_TRUE(list->isVisible());
    EXPECT_NE(window->textView(tab(u"other")), nullptr);
    EXPECT_EQ(window->userListView(tab(u"other")), nullptr);

    // Op, Op on the second row reaches that user as a MODE line; the menu opens a little
    // below the tap.
    list->refresh();
    const QPoint second(2, list->rowHeight() * 3 / 2);
    const auto seen = test::rightClick(list->viewport(), second, 40307);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->position, list->viewport()->mapToGlobal(second) + QPoint(0, 5));
    EXPECT_EQ(list->selectedLabel(), u"other");
    const auto mode =
        other.waitFor([](const std::string& l) { return Raw::commandOf(l) == "MODE"; });
    ASSERT_TRUE(mode) << other.transcript();
    EXPECT_EQ(Raw::paramsOf(*mode), (std::vector<std::string>{"#e2e", "+o", "other"}));
}

// Lines typed at each step of reaching a TLS port: the name lookup, the TCP connect and the
// handshake. None may reach the socket before the login, in clear text or inside TLS.
TEST_F(MainWindowTest, LinesTypedWhileATlsConnectionIsMadeFindNoConnectionAndNeverPrecedeTheLogin) {
    test::TlsTestServer server(true);
    useServer(server.port(), "+");
    env.write(TlsTrust::kFileName, "127.0.0.1 " + server.fingerprint() + "\n");
    startTyping();
    const auto enter = [&](const char* line) {
        type(QString::fromLatin1(line));
        QTest::keyClick(edit(), Qt::Key_Return);
    };
    window->handleCommand(MainWindow::kConnectId);  // the name is looked up in the background
    enter("/join #lookup");
    sockets.afterConnect = [&] { enter("/join #connect"); };
    KOLU_WAIT_FOR(server.firstByte().has_value(), 5000);
    enter("/join #handshake");
    server.release();
    const std::vector<std::string> login{"CAP LS 302", "nick kolu",
                                         "user me example.org kolu :Marvoline Kolu v1.3"};
    KOLU_WAIT_FOR(server.lines().size() >= login.size(), 5000);
    EXPECT_EQ(server.lines(), login);
    EXPECT_EQ(server.firstByte(), 0x16) << "not a TLS record";
    const std::vector<std::u16string> status = linesOf(0);
    EXPECT_EQ(std::count(status.begin(), status.end(), u"* /join: not connected to server"), 3);
    EXPECT_FALSE(test::anyLineHas(status, u"Software caused connection abort"));
}

// A loopback port whose accept queue is full: a connect there is never answered.
struct SilentPort {
    SilentPort() {
        ::listen(fds[0], 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        for (const int filler : {fds[1], fds[2]}) {  // the fillers take the queue
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~SilentPort() {
        for (int fd : fds) {
            ::close(fd);
        }
    }
    int port = 0;
    int fds[3] = {test::bindLoopback(port), ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0),
                  ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)};
};

TEST_F(MainWindowTest, AConnectNeverAnsweredLeavesTheWindowTurningAndFailsAfterItsWait) {
    SilentPort silent;
    useServer(silent.port);
    auto failures = [&] {
        const std::vector<std::u16string> status = linesOf(0);
        return std::count(status.begin(), status.end(),
                          u"*** Unable to connect (Connection refused)");
    };
    // Disconnect while connecting gives the attempt up at once.
    window->handleCommand(MainWindow::kConnectId);
    window->handleCommand(MainWindow::kConnectId);
    EXPECT_EQ(connectLabel(), QStringLiteral("Connect"));

    std::optional<bool> failedWhenTimerFired;
    QTimer::singleShot(100, [&] { failedWhenTimerFired = failures() > 0; });
    window->handleCommand(MainWindow::kConnectId);
    KOLU_WAIT_FOR(failures() > 0, 3000 + 2000);
    EXPECT_EQ(failedWhenTimerFired, false) << "the timer ran while the connect waited";
    EXPECT_EQ(failures(), 1) << "the given-up attempt has no wait left to end";
    EXPECT_EQ(connectLabel(), QStringLiteral("Connect"));
}

TEST_F(MainWindowTest, OkAppliesNewColoursAndTheBlendedPictureToTheWindow) {
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(QColor(100, 0, 0));
    ASSERT_TRUE(flat.save(QString::fromStdString(env.dir.file("flat.bmp")), "BMP"));
    test::whenModal<OptionsDialog>([](OptionsDialog* options) {
        auto* view = static_cast<ViewPage*>(options->page(OptionsDialog::kView));
        view->list(ViewPage::kLineClassList)->setCurrentRow(8);  // Normal
        controlById<QWidget>(view, 1307)->setFocus();
        QTest::keyClick(controlById<QWidget>(view, 1307), Qt::Key_Space);           // the palette
        controlById<QToolButton>(view, QuickPalette::kFirstButtonId + 4)->click();  // red
        controlById<QCheckBox>(options, 1401)->click();
        auto* pictures = controlById<QComboBox>(options, 1402);
        const int flat = pictures->findText(QStringLiteral("flat.bmp"));
        pictures->setCurrentIndex(flat);
        emit pictures->activated(flat);
        controlById<QSlider>(options, 1403)->setValue(3);
        options->accept();
    });
    window->handleCommand(MainWindow::kOptionsId);

    session().state.currentNick = u"kolu";
    LineFramer framer;
    framer.receive(
        ":kolu!me@host JOIN #c\r\n:other!u@host PRIVMSG #c :"
        "WWWWWWWWWWWWWWWW MMMMMMMMMMMMMMMM\r\n",
        session().dispatcher);
    QApplication::processEvents();
    ColorEdit* view = window->textView(tab(u"#c"));
    ASSERT_NE(view, nullptr);
    const QImage grab = window->grab().toImage();
    const QRect area(view->mapTo(window.get(), QPoint(0, 0)), view->size());
    EXPECT_GT(test::countColour(grab, QColor(255, 0, 0), area), 0) << "the line in the new colour";
    // (100, 0, 0) lightened by 30 %: 100 + 155 * 3 / 10, 0 + 255 * 3 / 10.
    EXPECT_GT(test::countColour(grab, QColor(146, 76, 76), area), 0) << "the blended picture";
}

class WidthRecorder final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            widths.push_back(static_cast<QResizeEvent*>(event)->size().width());
        }
        return false;
    }
    std::vector<int> widths;
};

bool opensNoMenu(QWidget* target, QPoint point) {
    auto seen = test::rightClick(target, point, 0);
    QTest::qWait(50);
    seen->stop = true;
    return !seen->shown;
}

TEST_F(MainWindowTest, AChannelTabIsLaidOutOnceAndItsViewScrollsFromTheKeyboard) {
    Session& s = session();
    const int channel = s.tabs.dodaj_zakladke(u"#c");
    for (int i = 0; i < 200; ++i) {
        s.output.RIDodajLinie(u"#c", u"line " + fromUtf8(std::to_string(i)), 0);
    }
    ColorEdit* view = window->textView(channel);
    UserListView* list = window->userListView(channel);
    ASSERT_TRUE(view && list);
    WidthRecorder resizes;
    view->installEventFilter(&resizes);
    // Each width change wraps the whole scrollback again: showing the tab and
    // resizing the window give the view its final width at once.
    for (int change = 0; change < 2; ++change) {
        resizes.widths.clear();
        if (change == 0) {
            s.tabs.select(channel);
            s.tabs.ZmienZakladke();
        } else {
            window->resize(600, 700);
        }
        QApplication::processEvents();
        EXPECT_EQ(resizes.widths, std::vector<int>{view->width()});
        EXPECT_EQ(view->width() + list->width(), window->tabStrip().width());
    }
    // Shift+Page Up anywhere, Ctrl+Page Up in the input line: a page up.
    const int bottom = view->scrollPosition();
    QTest::keyClick(window.get(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(view->scrollPosition(), bottom - view->viewport()->height());
    QTest::keyClick(edit(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(view->scrollPosition(), bottom - 2 * view->viewport()->height());
}

TEST_F(MainWindowTest, TextViewAndLabelsOpenTheirTabsMenusAndEmptyPlacesNone) {
    ColorEdit* status = window->textView(0);
    // Over a link the menu offers its address first.
    status->addLine(u"http://kolu.example/a is ours", 0);
    QApplication::processEvents();
    const QPoint onLink(2, status->viewport()->height() - 3);
    EXPECT_EQ(test::rightClick(status->viewport(), onLink, 0)->items.value(0), "Copy link");
    auto seen = test::rightClick(status->viewport(), QPoint(10, 10), 40498);
    EXPECT_TRUE(seen->items.contains(QStringLiteral("Away >")));
    EXPECT_FALSE(seen->items.contains(QStringLiteral("Copy link")));
    EXPECT_FALSE(status->autoScroll());
    // A query's label, while the status tab is the current one: Close drops it.
    Session& s = session();
    TabStrip& strip = window->tabStrip();
    seen = test::rightClick(strip.labelRow(), strip.tabRect(s.tabs.dodaj_zakladke(u"bob")).center(),
                            40499);
    EXPECT_TRUE(seen->items.contains(QStringLiteral("Whois")));
    EXPECT_EQ(strip.count(), 1);
    EXPECT_TRUE(opensNoMenu(strip.labelRow(), QPoint(strip.width() - 2, 5)));
    // Below a user list's last row nobody is tapped.
    const int channel = s.tabs.dodaj_zakladke(u"#a");
    dodaj_do_listy(s.tabs, u"#a", u"@bob");
    s.tabs.select(channel);
    s.tabs.ZmienZakladke();
    UserListView* list = window->userListView(channel);
    list->refresh();
    EXPECT_TRUE(opensNoMenu(list->viewport(), QPoint(2, 5 * list->rowHeight())));
}

// On a handheld-sized window a long question (the certificate's) and a message wrap to fit it.
TEST_F(MainWindowTest, MessageBoxesAreNoWiderThanTheirWindow) {
    window->resize(240, 320);
    const std::u16string text =
        u"The certificate of irc.example.org could not be verified (unable to get local issuer "
        u"certificate).\n\nSHA-256 fingerprint:\n01:23:45:67:89:AB:CD:EF\n\nTrust this "
        u"certificate for irc.example.org from now on?";
    std::vector<int> widths;
    auto answer = [&](QMessageBox::StandardButton button) {
        test::whenModal<QMessageBox>([&widths, button](QMessageBox* box) {
            widths.push_back(box->frameGeometry().width());
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Yes);
    EXPECT_TRUE(window->askYesNo(text, u"Certificate"));
    answer(QMessageBox::Ok);
    window->messageBox(text, u"Warning");
    ASSERT_EQ(widths.size(), 2u);
    EXPECT_LE(widths[0], window->frameGeometry().width());
    EXPECT_LE(widths[1], window->frameGeometry().width());
    EXPECT_LT(window->width(), 300);
}

// When the next popup menu is open: `act` runs, then the menu closes if it is still there.
void underNextMenu(std::function<void()> act, int turnsLeft = 300) {
    QTimer::singleShot(10, [act = std::move(act), turnsLeft]() mutable {
        if (!QApplication::activePopupWidget()) {
            if (turnsLeft > 0) {
                underNextMenu(std::move(act), turnsLeft - 1);
            }
            return;
        }
        act();
        if (QWidget* menu = QApplication::activePopupWidget()) {
            menu->close();
        }
    });
}

// A tab's windows outlive the handlers running in them: the retry removing every tab under
// each of the four open menus. (Close from a tab's menu is the labels' test.)
TEST_F(MainWindowTest, TabsGoingUnderTheirOpenMenusLeaveTheWindowWhole) {
    Session& s = session();
    const std::pair<std::u16string_view, bool> menus[] = {
        {u"", false}, {u"#a", false}, {u"#a", true}, {u"bob", false}};
    for (const auto& [name, onUserList] : menus) {
        s.tabs.dodaj_zakladke(u"#a");
        dodaj_do_listy(s.tabs, u"#a", u"@bob");
        s.tabs.dodaj_zakladke(u"bob");
        const int index = tab(name);
        s.tabs.select(index);
        s.tabs.ZmienZakladke();
        QAbstractScrollArea* target = window->textView(index);
        if (onUserList) {
            target = window->userListView(index);
        }
        const QPointer<QWidget> watched = target;
        bool opened = false;
        underNextMenu([&] {
            opened = true;
            s.tabs.usun_wszystkie();
        });
        QContextMenuEvent tap(QContextMenuEvent::Mouse, QPoint(2, 2),
                              target->viewport()->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(target->viewport(), &tap);
        EXPECT_TRUE(opened);
        EXPECT_EQ(s.tabs.count(), 1);
        EXPECT_FALSE(watched.isNull()) << "still there when its handler returns";
        QTRY_VERIFY(index == 0 || watched.isNull());
    }
}

// The order and the cycling of nickname completion are its logic tests'; here the keys.
TEST_F(MainWindowTest, WordListsTakeAWordByTickOrTabThenNicknamesCompleteAndFavouritesGoIn) {
    startTyping();
    env.settings.RegZapiszLONG(u"whspmax", 3);  // read at each change
    type(QStringLiteral("/"));
    EXPECT_EQ(rows(), (std::vector<std::string>{"/msg", "/part", "/join"}));
    EXPECT_LE(list()->geometry().bottom(), edit()->mapTo(list()->parentWidget(), QPoint()).y());
    clear();
    type(QStringLiteral("hello /jo"));
    ASSERT_EQ(rows(), std::vector<std::string>{"/join"});
    const QRect tick = list()->cell(0, WhisperList::kTickColumn);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, tick.center());
    EXPECT_EQ(shown(), "hello /join ");
    EXPECT_EQ(edit()->cursorPosition(), 12);
    EXPECT_EQ(list(), nullptr);
    EXPECT_TRUE(edit()->hasFocus());

    clear();
    type(QStringLiteral("/nic"));
    QTest::keyClick(&window->inputLine(), Qt::Key_Tab);  // where a real key arrives
    EXPECT_EQ(shown(), "/nick ");
    type(QStringLiteral("/to"));
    ASSERT_NE(list(), nullptr) << "the caret follows the new word";
    type(QStringLiteral(" "));
    EXPECT_EQ(list(), nullptr) << "a space ends the word";
    type(QStringLiteral("/quer"));
    ASSERT_NE(list(), nullptr);
    QTest::keyClick(&window->inputLine(), Qt::Key_Escape);
    EXPECT_EQ(list(), nullptr);
    EXPECT_EQ(shown(), "/nick /to /quer");
    clear();
    type(QStringLiteral("/quer"));
    ASSERT_NE(list(), nullptr);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(list(), nullptr);

    clear();
    type(QStringLiteral("/jo"));
    env.settings.RegZapiszLONG(u"whsp_enable", 0);
    type(QStringLiteral("i"));
    EXPECT_NE(list(), nullptr) << "switched off: the list is left as it was";
    QLineEdit elsewhere(window.get());
    elsewhere.show();
    elsewhere.setFocus();
    EXPECT_EQ(list(), nullptr) << "losing the focus closes it";
    edit()->setFocus();
    clear();
    type(QStringLiteral("/p"));
    EXPECT_EQ(list(), nullptr) << "switched off: nothing opens";

    // The favourite sentence from favorites.txt goes in at the caret, and Enter takes what the
    // command line model then holds: the line lands in the history.
    clear();
    type(QStringLiteral("ab"));
    edit()->setCursorPosition(1);
    window->handleCommand(FavoritesMenu::kFirstId);
    EXPECT_EQ(shown(), "afirst sentence b");
    EXPECT_EQ(edit()->cursorPosition(), 16);
    QTest::keyClick(edit(), Qt::Key_Return);
    InputLine& line = window->inputLine();
    EXPECT_EQ(line.itemText(line.count() - 1).toStdString(), "afirst sentence b");

    // Tab and Shift+Tab complete a member's nickname even over an open word list, whose word
    // Ctrl+Space still takes.
    env.settings.RegZapiszLONG(u"whsp_enable", 1);
    session().dictionary.DbDodajSlowo(u"always");
    TabRegistry& tabs = session().tabs;
    ASSERT_TRUE(tabs.select(tabs.dodaj_zakladke(u"#kolu")));
    dodaj_do_listy(tabs, u"#kolu", u"@alice");
    dodaj_do_listy(tabs, u"#kolu", u"alan");
    window->inputLine().Focus2Input();
    clear();
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClicks(focused, QStringLiteral("al"));
    ASSERT_EQ(rows(), std::vector<std::string>{"always"});
    QTest::keyClick(focused, Qt::Key_Tab);
    EXPECT_EQ(shown(), "alice: ");
    EXPECT_EQ(edit()->cursorPosition(), 7);
    EXPECT_EQ(list(), nullptr);
    QTest::keyClick(focused, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(shown(), "alan: ") << "backwards from the first wraps to the last";
    EXPECT_EQ(QApplication::focusWidget(), focused);
    clear();
    QTest::keyClicks(focused, QStringLiteral("al"));
    QTest::keyClick(focused, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(shown(), "always ");

    // A dialog's field offers one word while it holds no blank.
    std::vector<int> offered;
    test::whenModal<OneFieldPrompt>([&](OneFieldPrompt* prompt) {
        for (const char* text : {"/w", "a /w"}) {
            prompt->field()->clear();
            QTest::keyClicks(prompt->field(), QString::fromLatin1(text));
            auto* whisper = prompt->findChild<WhisperList*>();
            offered.push_back(whisper && whisper->isVisible() ? whisper->rows() : 0);
        }
        prompt->reject();
    });
    window->handleCommand(40101);  // Commands > Join
    EXPECT_EQ(offered, (std::vector<int>{1, 0}));
}

TEST_F(MainWindowTest, CtrlFFindsInTheShownTabAndAHistoryHitShowsItsLineLongGoneFromMemory) {
    env.settings.RegZapiszLONG(u"histlines", 1000);
    window.reset();
    HistoryKeeper keeper(env.settings, env.clock, env.dir.path());
    window = std::make_unique<MainWindow>(MainWindowServices{
        {env.settings, env.log, sockets, sound, env.clock, env.random}, colours, &keeper});
    window->show();
    Session& s = session();
    s.output.setNetwork(u"Test");
    const int channel = s.tabs.dodaj_zakladke(u"#c");
    s.output.RIDodajLinie(u"#c", u"hello Zoë", 0);
    for (int i = 0; i < 3000; ++i) {  // the greeting leaves memory
        s.output.RIDodajLinie(u"#c", u"line " + decimalText(i), 0);
    }
    s.tabs.select(channel);
    s.tabs.ZmienZakladke();
    startTyping();
    QTest::keyClick(edit(), Qt::Key_F, Qt::ControlModifier);
    FindBar& bar = window->findBar();
    ASSERT_FALSE(bar.isHidden());
    ColorEdit* view = window->textView(channel);
    EXPECT_EQ(bar.target(), view);
    EXPECT_EQ(view->geometry().bottom() + 1, bar.geometry().top());  // the view makes room
    QTest::keyClicks(bar.field(), QStringLiteral("line 2999"));
    KOLU_WAIT_FOR(!bar.searching(), 5000);
    EXPECT_EQ(bar.status(), QStringLiteral("1 of 1"));
    QTest::keyClick(bar.field(), Qt::Key_Escape);
    EXPECT_TRUE(edit()->hasFocus());

    QTest::keyClick(edit(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    SearchDialog* dialog = window->historySearchDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    dialog->setQuery(QStringLiteral("zoe"));
    KOLU_WAIT_FOR(!dialog->searching() && dialog->results()->count() > 0, 5000);
    ASSERT_EQ(dialog->results()->count(), 1);
    s.tabs.select(0);
    s.tabs.ZmienZakladke();
    emit dialog->results()->itemActivated(dialog->results()->item(0));
    EXPECT_EQ(s.tabs.selected(), channel);
    std::vector<std::u16string> inView;
    for (const PlacedLine& placed : view->linesInView()) {
        inView.push_back(view->lines().line(placed.index).text);
    }
    EXPECT_TRUE(test::anyLineHas(inView, u"hello Zoë"));
    window.reset();
}

TEST_F(MainWindowTest, RemembersItsPlaceAndStateAndComesBackOnAScreenThatIsThere) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window->setGeometry(30, 40, 300, 200);
    window->close();
    window = std::make_unique<MainWindow>(
        MainWindowServices{env.settings, env.log, sockets, sound, env.clock, env.random, colours});
    EXPECT_EQ(window->geometry(), QRect(30, 40, 300, 200));
    EXPECT_FALSE(window->isFullScreen());

    // Full screen on a screen that has since shrunk below the remembered size.
    env.settings.RegZapiszLONG(u"winx", screen.right() - 10);
    env.settings.RegZapiszLONG(u"winw", screen.width() + 500);
    env.settings.RegZapiszLONG(u"winstate", 2);
    window = std::make_unique<MainWindow>(
        MainWindowServices{env.settings, env.log, sockets, sound, env.clock, env.random, colours});
    EXPECT_TRUE(window->isFullScreen());
    EXPECT_EQ(window->normalGeometry(), QRect(screen.x(), 40, screen.width(), 200));
}

// The desktop's notification service as a recording: what it was asked to show.
class RecordingNotifications final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    QStringList shown;  // "title: body"
  public slots:
    uint Notify(const QString&, uint, const QString&, const QString& title, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        shown << title + QStringLiteral(": ") + body;
        return static_cast<uint>(shown.size());
    }
};

TEST_F(MainWindowTest, LinesForTheUserNotifyOnlyInTheBackgroundAClickOrAltAndItsNumberShowsATab) {
    test::SessionBus bus;
    QDBusConnection service = QDBusConnection::connectToBus(
        qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("recorder"));
    RecordingNotifications recorder;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder,
                                       QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    env.settings.RegZapiszLONG(u"en_hlights", 1);
    env.settings.RegZapiszMsg(u"hlights", u"kolu ", 4002);
    session().state.currentNick = u"kolu";
    LineFramer framer;
    auto feed = [&](const std::string& line) {
        framer.receive(line + "\r\n", session().dispatcher);
    };
    // The window in the background.
    QWidget other;
    other.show();
    auto toBackground = [&] {
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    };
    toBackground();
    feed(":kolu!me@host JOIN #c");
    feed(":ann!a@h PRIVMSG #c :\x02kolu\x02: <b>look</b>");
    KOLU_WAIT_EQ(recorder.shown.size(), qsizetype{1}, 5000);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("#c (1 unread) - Kolu"));

    // While the window is active nothing goes out; the private line after it, once
    // the window is in the background again, is the next the service hears of.
    startTyping();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kolu"));
    env.clock.ticks += 60000;  // long past the tab's quiet time
    feed(":ann!a@h PRIVMSG #c :kolu: again");
    toBackground();
    feed(":bob!b@h PRIVMSG kolu :psst");
    KOLU_WAIT_EQ(recorder.shown.size(), qsizetype{2}, 5000);
    EXPECT_EQ(recorder.shown,
              (QStringList{QStringLiteral("#c: &lt;ann&gt; kolu: &lt;b&gt;look&lt;/b&gt;"),
                           QStringLiteral("bob: &lt;bob&gt; psst")}));

    QDBusMessage click = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    click << 2u << QStringLiteral("default");
    service.send(click);
    KOLU_WAIT_EQ(session().tabs.selected(), tab(u"bob"), 5000);
    KOLU_WAIT_EQ(window->windowTitle(), QStringLiteral("Kolu"), 5000);
    // From the keyboard: Alt and the tab's number.
    QTest::keyClick(edit(), Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(session().tabs.selected(), tab(u"#c"));
}

// What the desktop does with an irc:// address while the client runs: a second start.
TEST_F(MainWindowTest, AnIrcAddressGivenToASecondStartJoinsItsChannelOnItsServer) {
    test::NgircdFixture server;
    useServer(1);  // the list's server is not the one the address names
    test::TempDir runtime;
    SingleInstance instance(QString::fromStdString(runtime.path()));
    ASSERT_FALSE(instance.handOverToRunningInstance());
    QObject::connect(&instance, &SingleInstance::linkRequested, window.get(),
                     &MainWindow::openLink);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime.path()));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(KOLU_BINARY),
                 {QStringLiteral("irc://127.0.0.1:%1/#chan").arg(server.port())});
    KOLU_WAIT_FOR(second.state() == QProcess::NotRunning, 10000);
    EXPECT_EQ(second.exitCode(), 0);
    KOLU_WAIT_EQ(members(u"#chan"), std::size_t{1}, 15000);
}

}  // namespace
}  // namespace kolu

#include "main_window_test.moc"
