// The main window as a user meets it: its menus, the banner, connecting from
// File > Connect, and a channel tab with its text view and user list.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QResizeEvent>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <thread>

#include "options/options_dialog.h"
#include "options/quick_palette.h"
#include "options/view_page.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "protocol/inbound.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/modal.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "tests/support/window_fixture.h"
#include "ui/widgets/color_edit.h"
#include "ui/widgets/drawn_button.h"
#include "ui/widgets/input_line.h"
#include "ui/widgets/main_window.h"
#include "ui/widgets/tab_strip.h"
#include "ui/widgets/user_list_view.h"

namespace kolu {
namespace {

std::vector<std::u16string> linesOf(Session& session, int tab) {
    std::vector<std::u16string> out;
    if (const TextLines* text = session.tabs.pobierz_hwndtxtbiez(tab)) {
        for (std::size_t i = 0; i < text->lineCount(); ++i) {
            out.emplace_back(text->line(i).text);
        }
    }
    return out;
}

class MainWindowTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        startWindow();
    }
};

TEST_F(MainWindowTest, StartsAsTheDescribedWindowWithItsMenusAndBanner) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kolu"));
    EXPECT_EQ(window->size(), QSize(480, 640));
    EXPECT_EQ(window->scaleFactor(), 2);
    for (int id : {MainWindow::kConnectId, MainWindow::kExitId, MainWindow::kHelpId,
                   MainWindow::kAboutId, kMenuJoin, kMenuQuit, kMenuNotice, 40298, 40299}) {
        ASSERT_NE(window->action(id), nullptr) << id;
    }
    EXPECT_EQ(window->action(MainWindow::kConnectId)->text(), QStringLiteral("Connect"));
    window->showWelcome(false);
    const std::vector<std::u16string> status = linesOf(window->session(), 0);
    ASSERT_EQ(status.size(), 4u);
    EXPECT_EQ(status[0], u"===================");
    EXPECT_EQ(status[1], u"Welcome to Kolu, version 1.3");
    EXPECT_EQ(status[2], u"Internet Relay Chat client for Pocket PC");
    EXPECT_EQ(status[3], u"-------------------");
    const TextLines* text = window->session().tabs.pobierz_hwndtxtbiez(0);
    const Colour bannerColours[] = {0x4000FF, 0x8000C0, 0xA000A0, 0xC00080};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(text->line(i).colour, bannerColours[i]) << i;
    }
    EXPECT_NE(window->textView(0), nullptr);
    EXPECT_EQ(window->userListView(0), nullptr);
}

TEST_F(MainWindowTest, ConnectsFromTheFileMenuAndShowsAJoinedChannel) {
    test::FakeIrcServer server;
    writeFileAtomically(env.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t" + std::to_string(server.port()) + "\t\r\n", 0600);
    env.settings.RegZapiszMsg(u"nick", u"tester", 120);
    env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);

    window->handleCommand(MainWindow::kConnectId);
    EXPECT_EQ(window->action(MainWindow::kConnectId)->text(), QStringLiteral("Disconnect"));
    // The event loop completes the name lookup and the connect; the window keeps
    // turning meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(server.connectionCount() == 1, 5000);
    ASSERT_TRUE(server.waitForClient());
    QTRY_VERIFY_WITH_TIMEOUT(server.received().find("user ") != std::string::npos, 5000);
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Marvoline Kolu v1.3"));
    // Lines are read the moment they arrive: no poll tick is needed.
    window->stopTimer(kPollTimer);

    server.send(
        ":irc.test 001 tester :Welcome\r\n:tester!me@host JOIN #kolu\r\n"
        ":irc.test 353 tester = #kolu :@tester other\r\n:irc.test 366 tester #kolu :End\r\n");
    // The poll timer ticks once a second.
    QTRY_VERIFY_WITH_TIMEOUT(window->session().tabs.znajdz_zakladke(u"#kolu") > 0, 5000);
    const int channel = window->session().tabs.znajdz_zakladke(u"#kolu");
    EXPECT_EQ(window->session().tabs.selected(), channel);
    ASSERT_NE(window->textView(channel), nullptr);
    ASSERT_NE(window->userListView(channel), nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(window->session().tabs.pobierz_hwndlist(u"#kolu")->size(),
                              std::size_t{2}, 5000);
    EXPECT_TRUE(window->textView(channel)->isVisible());
    EXPECT_FALSE(window->textView(0)->isVisible());

    // Typing a line and Enter sends it to the selected channel.
    QLineEdit* edit = window->inputLine().lineEdit();
    ASSERT_NE(edit, nullptr);
    QTest::keyClicks(edit, QStringLiteral("hello there"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(server.expectLine("PRIVMSG #kolu :hello there"));
    EXPECT_TRUE(edit->text().isEmpty());

    // A flood leaves the event loop turning: a timer set once it has begun
    // fires before its last line is in.
    const TextLines& shown = *window->session().tabs.pobierz_hwndtxt(u"#kolu");
    const std::size_t before = shown.lineCount();
    constexpr std::size_t kFlood = 100000;
    std::string flood;
    for (std::size_t i = 0; i < kFlood; ++i) {
        flood += ":other!u@h PRIVMSG #kolu :flood line " + std::to_string(i) + "\r\n";
    }
    std::thread sender([&] { server.send(flood); });
    QTRY_VERIFY_WITH_TIMEOUT(shown.lineCount() > before, 30000);
    std::size_t linesWhenTimerFired = 0;
    QTimer::singleShot(0, [&] { linesWhenTimerFired = shown.lineCount(); });
    QTRY_COMPARE_WITH_TIMEOUT(shown.lineCount(), before + kFlood, 30000);
    sender.join();
    EXPECT_LT(linesWhenTimerFired, before + kFlood);
    EXPECT_GT(linesWhenTimerFired, before);

    // More than the socket buffers hold while the server reads nothing: the
    // window goes on at once and every line arrives whole, in order.
    server.pauseReading(std::chrono::milliseconds(500));
    Session& s = window->session();
    constexpr int kLong = 4600;
    for (int i = 0; i < kLong; ++i) {
        s.connection.wys(s.state.socket, u"PRIVMSG #kolu :" + std::u16string(980, u'a' + i % 26) +
                                             fromUtf8(std::to_string(i)));
    }
    EXPECT_TRUE(server.readingPaused()) << "the sends waited for the server";
    const std::string last =
        "PRIVMSG #kolu :" + std::string(980, 'a' + (kLong - 1) % 26) + std::to_string(kLong - 1);
    QTRY_VERIFY_WITH_TIMEOUT(server.received().find(last) != std::string::npos, 10000);
    for (int i = 0; i < kLong; ++i) {
        ASSERT_TRUE(server.expectLine("PRIVMSG #kolu :" + std::string(980, 'a' + i % 26) +
                                      std::to_string(i)));
    }

    window->startTimer(kPollTimer, Connection::kPollIntervalMs);  // it ends the connection
    window->handleCommand(MainWindow::kConnectId);                // Disconnect
    QTRY_COMPARE_WITH_TIMEOUT(window->action(MainWindow::kConnectId)->text(),
                              QStringLiteral("Connect"), 5000);
    EXPECT_EQ(window->session().state.socket, kInvalidSocket);
    // The channel is no longer joined: no members shown, the label in the
    // colour of the disconnect line until the channel is joined again.
    EXPECT_EQ(window->userListView(channel)->rowAt(QPoint(2, 2)), -1);
    const Colour disconnected =
        window->session()
            .tabs.pobierz_hwndtxtbiez(channel)
            ->line(window->session().tabs.pobierz_hwndtxtbiez(channel)->lineCount() - 1)
            .colour;
    EXPECT_EQ(window->session().tabs.labelColourForPaint(channel), disconnected);
}

// A loopback port whose accept queue is full: a connect there is never answered.
class SilentPort {
  public:
    SilentPort() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        ::listen(m_listener, 0);
        for (int& filler : m_fillers) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        port = ntohs(address.sin_port);
    }
    ~SilentPort() {
        for (int fd : m_fillers) {
            ::close(fd);
        }
        ::close(m_listener);
    }
    int port = 0;

  private:
    int m_listener = -1;
    int m_fillers[2] = {-1, -1};
};

TEST_F(MainWindowTest, AConnectNeverAnsweredLeavesTheWindowTurningAndFailsAfterItsWait) {
    SilentPort silent;
    writeFileAtomically(env.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t" + std::to_string(silent.port) + "\t\r\n", 0600);
    env.settings.RegZapiszMsg(u"nick", u"tester", 120);
    env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    const std::u16string failure = u"*** Unable to connect (Connection refused)";
    auto failures = [&] {
        const std::vector<std::u16string> status = linesOf(window->session(), 0);
        return std::count(status.begin(), status.end(), failure);
    };
    auto failed = [&] { return failures() > 0; };
    // Disconnect while connecting gives the attempt up at once.
    window->handleCommand(MainWindow::kConnectId);
    window->handleCommand(MainWindow::kConnectId);
    EXPECT_EQ(window->action(MainWindow::kConnectId)->text(), QStringLiteral("Connect"));
    EXPECT_EQ(linesOf(window->session(), 0).back(), u"*** Disconnected");

    std::optional<bool> failedWhenTimerFired;
    QTimer::singleShot(100, [&] { failedWhenTimerFired = failed(); });
    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(failed(), 3000 + 2000);
    EXPECT_EQ(failedWhenTimerFired, false) << "the timer ran while the connect waited";
    EXPECT_EQ(failures(), 1) << "the given-up attempt has no wait left to end";
    EXPECT_EQ(window->action(MainWindow::kConnectId)->text(), QStringLiteral("Connect"));
    EXPECT_EQ(window->session().state.socket, kInvalidSocket);
}

// Whether any pixel of `area` in `picture` is exactly `colour`.
bool shows(const QImage& picture, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (picture.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(MainWindowTest, OkAppliesNewColoursAndTheBlendedPictureToTheWindow) {
    QImage flat(64, 64, QImage::Format_RGB32);
    flat.fill(QColor(100, 0, 0));
    ASSERT_TRUE(flat.save(QString::fromStdString(env.dir.file("flat.bmp")), "BMP"));
    auto shown = std::make_shared<bool>(false);
    test::whenModal<OptionsDialog>(
        [](OptionsDialog* options) {
            auto* view = static_cast<ViewPage*>(options->page(OptionsDialog::kView));
            view->list(ViewPage::kLineClassList)->setCurrentRow(8);  // Normal
            controlById<QWidget>(view, 1307)->setFocus();
            QTest::keyClick(controlById<QWidget>(view, 1307), Qt::Key_Space);  // the palette
            controlById<QToolButton>(view, QuickPalette::kFirstButtonId + 4)->click();  // red
            controlById<QCheckBox>(options, 1401)->click();
            auto* pictures = controlById<QComboBox>(options, 1402);
            const int flat = pictures->findText(QStringLiteral("flat.bmp"));
            pictures->setCurrentIndex(flat);
            emit pictures->activated(flat);
            controlById<QSlider>(options, 1403)->setValue(3);
            options->accept();
        },
        shown);
    window->handleCommand(MainWindow::kOptionsId);
    ASSERT_TRUE(*shown);

    Session& session = window->session();
    session.state.currentNick = u"kolu";
    LineFramer framer;
    framer.receive(
        ":kolu!me@host JOIN #c\r\n:other!u@host PRIVMSG #c :"
        "WWWWWWWWWWWWWWWW MMMMMMMMMMMMMMMM\r\n",
        session.dispatcher);
    QApplication::processEvents();
    const int channel = session.tabs.znajdz_zakladke(u"#c");
    ASSERT_GT(channel, 0);
    ColorEdit* view = window->textView(channel);
    ASSERT_NE(view, nullptr);
    const QImage grab = window->grab().toImage();
    const QRect area(view->mapTo(window.get(), QPoint(0, 0)), view->size());
    EXPECT_TRUE(shows(grab, area, QColor(255, 0, 0))) << "the channel line in the new colour";
    // (100, 0, 0) lightened by 30 %: 100 + 155 * 3 / 10, 0 + 255 * 3 / 10.
    EXPECT_TRUE(shows(grab, area, QColor(146, 76, 76))) << "the blended picture behind the text";
}

// Every resize a widget gets, by its new width.
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
    const std::function<void()> changes[] = {[&] {
                                                 s.tabs.select(channel);
                                                 s.tabs.ZmienZakladke();
                                             },
                                             [&] { window->resize(600, 700); }};
    for (const auto& change : changes) {
        resizes.widths.clear();
        change();
        QApplication::processEvents();
        EXPECT_EQ(resizes.widths, std::vector<int>{view->width()});
        EXPECT_EQ(view->width() + list->width(), window->tabStrip().width());
    }
    // The names fit their rows.
    EXPECT_LE(QFontMetrics(list->font()).height(), list->rowHeight());

    // Shift+Page Up anywhere, Ctrl+Page Up in the input line: a page up.
    const int bottom = view->scrollPosition();
    QTest::keyClick(window.get(), Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(view->scrollPosition(), bottom - view->viewport()->height());
    QTest::keyClick(window->inputLine().lineEdit(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(view->scrollPosition(), bottom - 2 * view->viewport()->height());
    QTest::keyClick(window->inputLine().lineEdit(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(view->scrollPosition(), bottom - view->viewport()->height());
}

TEST_F(MainWindowTest, ASecondStartRaisesTheWindowInTheModeItIsIn) {
    QTest::mouseClick(window->findChild<FullScreenButton*>(), Qt::LeftButton);
    ASSERT_TRUE(window->isFullScreen());
    window->bringToFront();
    EXPECT_TRUE(window->isFullScreen());
}

TEST_F(MainWindowTest, ChildWidgetsGoWhileTheWindowStillHoldsTheirModels) {
    bool windowWhole = false;
    QObject* const whole = window.get();
    QObject::connect(&window->inputLine(), &QObject::destroyed, [&](QObject*) {
        // During the window's own destructor it is still a MainWindow; once its
        // members are gone only the QWidget part is left.
        windowWhole = qobject_cast<MainWindow*>(whole) != nullptr;
    });
    window.reset();
    EXPECT_TRUE(windowWhole);
}

}  // namespace
}  // namespace kolu
