// Pictures of the client's window for the documentation, and a measuring run.
// Builds the real services and main window in a throw-away XDG folder, offscreen,
// feeds the session server lines directly (no network) and saves PNGs; with
// --measure it prints the start-up time and resident memory instead.
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/services.h"
#include "commands/menu_commands.h"
#include "gui/context_menu.h"
#include "gui/find_bar.h"
#include "gui/input_line.h"
#include "gui/main_window.h"
#include "gui/prompt_dialogs.h"
#include "gui/qt_text.h"
#include "gui/search_dialog.h"
#include "gui/splash.h"
#include "gui/whisper_hook.h"
#include "options/colour_swatch.h"
#include "options/options_dialog.h"
#include "options/select_colour_dialog.h"
#include "options/view_page.h"
#include "platform/paths.h"
#include "protocol/inbound.h"
#include "resources/shipped_resources.h"

namespace {

using Clock = std::chrono::steady_clock;
// Taken during static initialisation, before main() and QApplication.
const Clock::time_point kStarted = Clock::now();

double msSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// Milliseconds since the launcher's wall-clock time in KOLU_LAUNCHED_NS (run.sh
// sets it just before it starts the tool), so the loader's and static
// initialisers' share is counted too; -1 when it is not set. The kernel's
// process start time was tried first, but its clock does not match any clock a
// process can read on every machine (one showed every start as about 60 s).
double msSinceLaunch() {
    const char* launched = std::getenv("KOLU_LAUNCHED_NS");
    if (!launched || !*launched) {
        return -1;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - std::strtod(launched, nullptr) / 1e6;
}

// VmRSS from /proc/self/status, in MB.
double residentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
        }
    }
    return -1;
}

// Nothing leaves the machine: the session is fed from here, and whatever it
// sends back (WHO, MODE after a join) is swallowed.
class NullSockets final : public kolu::SocketLayer {
  public:
    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }
    int lastError() const override { return 0; }
    void setLastError(int) override {}
    std::optional<kolu::SocketAddress> resolve(std::string_view) override { return std::nullopt; }
    kolu::SocketHandle openTcp() override { return kolu::kInvalidSocket; }
    int setNonBlocking(kolu::SocketHandle, bool) override { return 0; }
    int connect(kolu::SocketHandle, const kolu::SocketAddress&, std::uint16_t) override {
        return -1;
    }
    int select(kolu::SocketHandle, kolu::SelectSets&, int) override { return 0; }
    int socketError(kolu::SocketHandle) override { return 0; }
    int recv(kolu::SocketHandle, char*, int) override { return 0; }
    int send(kolu::SocketHandle, const char*, int length) override { return length; }
    int closeSocket(kolu::SocketHandle) override { return 0; }
};

class SilentSound final : public kolu::SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

// Marks the first paint of the watched window, and when that paint pass is over.
class FirstPaint final : public QObject {
  public:
    double paintMs = -1;
    double doneMs = -1;
    double doneProcessMs = -1;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && paintMs < 0) {
            paintMs = msSince(kStarted);
            QTimer::singleShot(0, this, [this] {
                doneMs = msSince(kStarted);
                doneProcessMs = msSinceLaunch();
            });
        }
        return false;
    }
};

// The real start-up's services over a fresh XDG folder.
struct Client {
    kolu::Services services{kolu::dataFolder(), kolu::registryFile()};
    NullSockets sockets;
    SilentSound sound;
    std::unique_ptr<kolu::MainWindow> window;

    // When the services were ready, for the start-up figures.
    double servicesMs = msSince(kStarted);

    explicit Client(bool vga = false) {
        services.settings.RegZapiszLONG(u"VGA", vga ? 1 : 0);
        services.settings.RegZapiszLONG(u"splashscr", 0);
        window = std::make_unique<kolu::MainWindow>(kolu::MainWindowServices{
            {services.settings, services.log, sockets, sound, services.clock, services.random},
            services.colours, &services.history});
        window->session().output.setNetwork(u"Test");
    }
    void feed(const std::string& lines) { feed(*window, lines); }
    static void feed(kolu::MainWindow& into, const std::string& lines) {
        kolu::Session& session = into.session();
        session.state.socket = 3;
        session.state.connected = true;
        session.state.currentNick = u"kolu";
        kolu::LineFramer framer;
        framer.receive(lines, session.dispatcher);
    }
};

std::string channelScene() {
    static const char* const kNames[] = {
        "@kolu", "@marta",  "@ChanServ", "@oskar", "+ania", "+bartek", "+celina", "+darek",
        "+ewa",  "filip",   "gosia",     "henryk", "iza",   "janek",   "kasia",   "leszek",
        "magda", "norbert", "ola",       "piotr",  "quark", "renata",  "stefan",  "tomek",
        "ula",   "wojtek",  "xawery",    "yeti",   "zosia", "zbyszek"};
    std::string names;
    for (const char* name : kNames) {
        names += names.empty() ? "" : " ";
        names += name;
    }
    std::string s = ":kolu!me@localhost JOIN #kolu\r\n";
    s += ":irc.test 332 kolu #kolu :Kolu users: questions, screenshots and bug reports\r\n";
    s += ":irc.test 353 kolu = #kolu :" + names + "\r\n";
    s += ":irc.test 366 kolu #kolu :End of /NAMES list.\r\n";
    static const char* const kTalk[] = {
        "hello everyone", "did anyone try the new build on a 240 pixel screen?",
        "kolu: works fine here, the user list slides nicely",
        "\x01"
        "ACTION waves"
        "\x01",
        "the tabs scroll when there are many channels",
        "kolu: can you check the colours in the options?", "sure, one moment",
        // Formatting codes as other clients send them.
        "\x02"
        "build 42\x02 is \x03"
        "03,01green on black\x0f, \x1d"
        "italic\x1d, \x1f"
        "underlined\x1f, \x03"
        "04red\x03, \x04"
        "FF8000hex orange\x04 and \x16reverse\x16",
        "this is a long line to show how the text view wraps a message that does not fit "
        "on one row of the window at all",
        "\x01"
        "ACTION is away for lunch"
        "\x01",
        "see you later"};
    static const char* const kWho[] = {"marta",  "ania",  "bartek", "oskar",
                                       "celina", "filip", "zosia",  "piotr"};
    for (int i = 0; i < 40; ++i) {
        const std::string who = kWho[(i * 3) % 8];
        const std::string prefix = ":" + who + "!u@host.example.org ";
        switch (i % 9) {
            case 3:
                s += ":newbie" + std::to_string(i) + "!u@host JOIN #kolu\r\n";
                break;
            case 5:
                s += prefix + "NOTICE #kolu :reminder: meeting at eight\r\n";
                break;
            case 7:
                s += ":oldtimer" + std::to_string(i) + "!u@host PART #kolu :bye\r\n";
                break;
            case 8:
                s += ":marta!u@host MODE #kolu +v filip\r\n";
                break;
            default:
                s += prefix + "PRIVMSG #kolu :" + kTalk[i % 10] + "\r\n";
        }
    }
    return s;
}

void process() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

bool save(const QPixmap& picture, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The window with a dialog shown over it, drawn where the dialog stands.
QPixmap withDialog(QWidget& window, QWidget& dialog) {
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    const QPoint at = window.mapFromGlobal(dialog.mapToGlobal(QPoint(0, 0)));
    painter.drawPixmap(at, dialog.grab());
    return picture;
}

bool shootScale(int scale, const QString& folder) {
    const QString suffix = QStringLiteral("_x%1.png").arg(scale);
    // At scale 1 the window is 240 x 320 with sizes left unscaled (the VGA setting).
    Client client(scale == 1);
    kolu::MainWindow& window = *client.window;
    window.resize(240 * scale, 320 * scale);
    window.show();
    window.showWelcome(false);
    process();
    bool ok = save(window.grab(), folder, QStringLiteral("main") + suffix);

    kolu::Splash splash(window.scaleFactor(), scale == 1, &window);
    splash.show();
    process();
    ok &= save(withDialog(window, splash), folder, QStringLiteral("splash") + suffix);
    splash.hide();

    client.feed(channelScene());
    process();
    ok &= save(window.grab(), folder, QStringLiteral("channel") + suffix);

    // Ctrl+F over the channel, then the search of every tab's history (the
    // lines of the scene, stored as they were shown).
    window.openFindBar();
    window.findBar().field()->setText(QStringLiteral("kolu"));
    while (window.findBar().searching()) {
        QApplication::processEvents();
    }
    process();
    ok &= save(window.grab(), folder, QStringLiteral("find") + suffix);
    window.openHistorySearch(QStringLiteral("kolu"));
    kolu::SearchDialog& search = *window.historySearchDialog();
    while (search.searching()) {
        QApplication::processEvents();
    }
    process();
    ok &= save(withDialog(window, search), folder, QStringLiteral("search") + suffix);
    search.hide();
    window.findBar().dismiss();

    // The four tap-and-hold menus, opened in the middle of the window.
    const std::pair<kolu::ContextMenuId, const char*> menus[] = {
        {kolu::ContextMenuId::UserList, "menu_userlist"},
        {kolu::ContextMenuId::Channel, "menu_channel"},
        {kolu::ContextMenuId::Query, "menu_query"},
        {kolu::ContextMenuId::Status, "menu_status"}};
    for (const auto& [id, name] : menus) {
        std::unique_ptr<QMenu> menu = kolu::buildContextMenu(kolu::contextMenu(id), &window);
        menu->popup(window.mapToGlobal(QPoint(window.width() / 4, window.height() / 5)));
        process();
        ok &= save(withDialog(window, *menu), folder, QString::fromLatin1(name) + suffix);
        menu->hide();
    }

    // Word completion over the input line.
    QLineEdit* edit = window.inputLine().editControl();
    edit->setFocus();
    for (const QString& key : {QStringLiteral("/"), QStringLiteral("w")}) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
        QApplication::sendEvent(edit, &press);
    }
    process();
    ok &= save(window.grab(), folder, QStringLiteral("whispers") + suffix);
    window.inputWhispers().close();
    edit->clear();

    const kolu::PromptText* join = kolu::findPrompt(kolu::kMenuJoin);
    kolu::OneFieldPrompt prompt(join ? kolu::qs(join->title) : QString(),
                                join ? kolu::qs(join->prompt) : QString(),
                                kolu::promptFieldLimit(kolu::kMenuJoin), false, &window);
    prompt.setDialogFont(window.inputLine().font());
    kolu::fitPromptToWindow(prompt, &window);
    prompt.show();
    process();
    ok &= save(withDialog(window, prompt), folder, QStringLiteral("join_prompt") + suffix);
    prompt.hide();

    std::unique_ptr<kolu::OptionsDialog> options = window.makeOptionsDialog();
    options->show();
    QTabWidget* pages = options->pageTabs();
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        process();
        ok &= save(options->grab(), folder,
                   QStringLiteral("options_") + pages->tabText(page).toLower() + suffix);
    }

    // The colour editor: the palette open over "Text:", then "Select color".
    pages->setCurrentIndex(kolu::OptionsDialog::kView);
    auto* view = static_cast<kolu::ViewPage*>(options->page(kolu::OptionsDialog::kView));
    view->list(kolu::ViewPage::kLineClassList)->setCurrentRow(9);
    emit view->textSwatch()->tapped();
    process();
    ok &= save(options->grab(), folder, QStringLiteral("options_palette") + suffix);
    kolu::SelectColourDialog select(kolu::rgb(128, 0, 0), scale, options.get());
    select.setFont(options->font());
    select.show();
    process();
    ok &= save(withDialog(*options, select), folder, QStringLiteral("select_color") + suffix);
    select.hide();

    // A background picture, blended 60 %, behind the busy channel.
    emit view->textSwatch()->tapped();
    auto* enable = options->findChild<QCheckBox*>(QStringLiteral("1401"));
    enable->setChecked(true);
    options->accept();
    window.applyOptions();
    process();
    ok &= save(window.grab(), folder, QStringLiteral("channel_picture") + suffix);
    // The next scale's client shares the settings: it starts without the picture.
    client.services.settings.RegZapiszLONG(u"bmp", 0);

    // File > New window: a second window on another network, beside the first.
    kolu::MainWindow second(kolu::MainWindowServices{{client.services.settings, client.services.log,
                                                      client.sockets, client.sound,
                                                      client.services.clock, client.services.random},
                                                     client.services.colours, &client.services.history});
    second.session().output.setNetwork(u"Other");
    second.resize(window.size());
    second.show();
    std::string other = ":kolu!me@localhost JOIN #kolu\r\n:irc.other 353 kolu = #kolu :@kolu @ola +jan ewa\r\n"
                        ":irc.other 366 kolu #kolu :End of /NAMES list.\r\n";
    for (const char* line : {":ola!o@other PRIVMSG #kolu :same channel name, another network",
                             ":jan!j@other PRIVMSG #kolu :nothing from the first window shows here",
                             ":ewa!e@other PRIVMSG #kolu :and our logs stay apart"}) {
        other += std::string(line) + "\r\n";
    }
    Client::feed(second, other);
    process();
    QPixmap pair(window.width() * 2 + 8 * scale, window.height());
    pair.fill(Qt::darkGray);
    QPainter painter(&pair);
    painter.drawPixmap(0, 0, window.grab());
    painter.drawPixmap(window.width() + 8 * scale, 0, second.grab());
    painter.end();
    ok &= save(pair, folder, QStringLiteral("two_windows") + suffix);
    return ok;
}

int measure(double appReadyMs) {
    FirstPaint first;
    Client client;
    const double builtMs = msSince(kStarted);
    kolu::MainWindow& window = *client.window;
    window.installEventFilter(&first);
    window.show();
    QTimer::singleShot(0, &window, [&] { window.showWelcome(); });
    while (first.doneMs < 0) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    process();
    const double startMb = residentMb();

    client.feed(":kolu!me@localhost JOIN #kolu\r\n");
    std::string batch;
    for (int i = 0; i < 100000; ++i) {
        batch += ":someone" + std::to_string(i % 50) + "!user@host.example.org PRIVMSG #kolu :";
        batch += std::string(30 + (i * 7) % 40, static_cast<char>('a' + i % 26)) + "\r\n";
        if (i % 1000 == 999) {
            client.feed(batch);
            batch.clear();
        }
    }
    window.grab();
    process();
    std::printf("first paint of the window: %.1f ms after static init (painted: %.1f ms)\n",
                first.paintMs, first.doneMs);
    std::printf("QApplication made at %.1f ms, services at %.1f ms, window built at %.1f ms\n",
                appReadyMs, client.servicesMs, builtMs);
    if (first.doneProcessMs >= 0) {
        std::printf("process start to first painted window: %.0f ms\n", first.doneProcessMs);
    } else {
        std::printf("process start to first painted window: unknown (KOLU_LAUNCHED_NS not set)\n");
    }
    std::printf("resident memory after start: %.1f MB\n", startMb);
    std::printf("resident memory after 100000 lines in #kolu: %.1f MB\n", residentMb());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool measuring = argc >= 2 && std::string(argv[1]) == "--measure";
    if (argc != 2 && !(measuring && argc == 3)) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER | --measure [XDG_FOLDER]\n", argv[0]);
        return 2;
    }
    // Never the user's own settings: a throw-away XDG folder, offscreen. A folder
    // given to --measure is kept, so a second run measures a start that finds its
    // files already installed.
    std::string xdg = argc == 3 ? argv[2] : "/tmp/kolu-shots-XXXXXX";
    if (argc == 3 ? !QDir().mkpath(QString::fromStdString(xdg)) : !mkdtemp(xdg.data())) {
        std::perror("XDG folder");
        return 1;
    }
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        setenv(name, xdg.c_str(), 1);
    }
    // A VGA handheld's screen, where the window's size sets the scale factor as
    // on the handheld (a desktop's DPI would not).
    const std::string screen = xdg + "/screen.json";
    std::ofstream(screen) << R"({"screens": [{"name": "VGA", "x": 0, "y": 0, "width": 480,
        "height": 640, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str(), 1);
    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Kolu"));
        const double appReadyMs = msSince(kStarted);
        koluInitResources();
        if (measuring) {
            result = measure(appReadyMs);
        } else {
            const QString folder = QString::fromLocal8Bit(argv[1]);
            QDir().mkpath(folder);
            result = shootScale(1, folder) && shootScale(2, folder) ? 0 : 1;
        }
    }
    if (argc != 3) {
        QDir(QString::fromStdString(xdg)).removeRecursively();
    }
    return result;
}
