#include "gui/main_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>
#include <QSocketNotifier>
#include <QTabBar>
#include <QThread>
#include <QUrl>

#include "commands/context_menus.h"
#include "gui/background_picture.h"
#include "gui/color_edit.h"
#include "gui/context_menu.h"
#include "gui/desktop_attention.h"
#include "gui/drawn_button.h"
#include "gui/find_bar.h"
#include "gui/input_line.h"
#include "gui/irc_link.h"
#include "gui/menu_labels.h"
#include "gui/qt_font.h"
#include "gui/qt_text.h"
#include "gui/slide_button.h"
#include "gui/splash.h"
#include "gui/tab_strip.h"
#include "gui/text_view_links.h"
#include "gui/user_list_view.h"
#include "gui/whisper_hook.h"
#include "gui/window_set.h"
#include "options/options_dialog.h"
#include "platform/text.h"
#include "protocol/query_replies.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/welcome_banner.h"

namespace kolu {
namespace {

// The Commands popup, in menu order.
struct MenuItem {
    int id;
    const char* text;
};
constexpr MenuItem kCommandItems[] = {
    {kMenuJoin, "Join"},   {kMenuPart, "Part"},     {kMenuList, "List"}, {kMenuNames, "Names"},
    {kMenuWhois, "Whois"}, {kMenuWhowas, "Whowas"}, {kMenuWho, "Who"},   {kMenuNick, "New nick"},
    {kMenuTopic, "Topic"}, {kMenuInvite, "Invite"}, {kMenuKick, "Kick"}, {kMenuNotice, "Notice"},
    {kMenuQuit, "Quit"},
};

// Lays the window out whenever the central area changes size.
class ResizeWatcher final : public QObject {
  public:
    explicit ResizeWatcher(std::function<void()> onResize) : m_onResize(std::move(onResize)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            m_onResize();
        }
        return false;
    }

  private:
    std::function<void()> m_onResize;
};

}  // namespace

MainWindow::MainWindow(const MainWindowServices& services, QWidget* parent)
    : QMainWindow(parent),
      m_services(services),
      m_placement(rememberedPlacement(services.settings, {kDefaultWidth, kDefaultHeight})),
      m_scale(scaleFactorFor(m_placement, services.settings.RegCzytajLONG(u"textsize"))),
      m_ownDictionary(services.dictionary
                          ? nullptr
                          : std::make_unique<Dictionary>(services.settings, services.log)),
      m_session(std::make_unique<Session>(
          SessionServices{services, *this, m_metrics, services.colours,
                          services.dictionary ? *services.dictionary : *m_ownDictionary},
          m_scale)),
      m_nickCompletion(m_session->tabs),
      m_menuCommands(*this, m_session->commands),
      m_prompts(this),
      m_favorites(services.settings, services.log) {
    setWindowTitle(QStringLiteral("Kolu"));
    setGeometry(m_placement.normal);
    if (m_placement.maximised) {
        setWindowState(Qt::WindowMaximized);
    }
    m_dialogFont = fontWithCellHeight(13 * m_scale);
    m_prompts.setDialogFont(m_dialogFont);
    for (TimerId id : {kPollTimer, kRetryTimer, kBanListTimer, kConnectTimer, kPaceTimer}) {
        QTimer& timer = m_timers[id - 1];
        timer.setSingleShot(id == kBanListTimer || id == kConnectTimer || id == kPaceTimer);
        connect(&timer, &QTimer::timeout, this, [this, id] { onTimer(id); });
    }

    m_central = new QWidget(this);
    setCentralWidget(m_central);
    auto* watcher = new ResizeWatcher([this] { layOutWindow(); });
    watcher->setParent(m_central);
    m_central->installEventFilter(watcher);

    loadBackground();
    createMenus();
    m_favoriteCount = m_favorites.FavWczytaj(m_favoritesMenu);
    m_favoritesMenu.setObserver(this);
    favoritesChanged();

    m_input = new InputLine(m_inputModel, services.colours, m_central);
    m_input->setSettings(&services.settings);
    m_input->setFont(m_dialogFont);
    m_input->setNickCompletion(&m_nickCompletion);
    connect(m_input, &InputLine::entered, this, [this] { onEnter(); });
    connect(m_input, &InputLine::escaped, this,
            [this] { m_session->commands.cancelWaitingLines(true); });
    connect(m_input, &InputLine::switchTab, this,
            [this](int key) { m_session->tabs.PrzelaczZakladke(key); });
    m_whispers = std::make_unique<WhisperServices>(
        WhisperServices{services.settings, m_session->dictionary, m_scale});
    m_inputWhispers = attachWhispers(
        *m_input->editControl(), *m_central, *m_whispers,
        [this] { return m_services.settings.RegCzytajLONG(u"whspmax"); }, true,
        [this](const QString& text) {
            // Through the model, which the line shows and Enter sends.
            m_inputModel.setText(text.toStdU16String());
            m_input->setCaret(static_cast<int>(text.size()));
        });
    m_inputWhispers->setTabClaim([this] { return m_input->completesNickname(); });
    m_prompts.setFieldHook([this](QDialog& dialog, QLineEdit& field) {
        attachWhispers(field, dialog, *m_whispers, [] { return 1; });
    });

    const std::pair<QKeyCombination, ScrollRequest> pageKeys[] = {
        {Qt::SHIFT | Qt::Key_PageUp, ScrollRequest::PageUp},
        {Qt::SHIFT | Qt::Key_PageDown, ScrollRequest::PageDown},
        {Qt::CTRL | Qt::Key_PageUp, ScrollRequest::PageUp},
        {Qt::CTRL | Qt::Key_PageDown, ScrollRequest::PageDown},
    };
    for (const auto& [keys, request] : pageKeys) {
        connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this,
                [this, request] { scrollCurrentView(request); });
    }

    createReadingKeys();
    m_attention = new DesktopAttention(*this, services.settings, services.clock);
    connect(m_attention, &DesktopAttention::tabRequested, this, &MainWindow::showTab);
    connect(m_attention, &DesktopAttention::raiseRequested, this, &MainWindow::bringToFront);
    m_linkOpener = new IrcLinkOpener(*m_session, *this, this);
    // irc:// links in the text are joined here rather than handed to the desktop.
    m_linkOpenerForViews = std::make_unique<DesktopLinkOpener>(
        [this](const QString& address) { openLink(address); });

    m_fullScreenButton = new FullScreenButton(m_central);
    connect(m_fullScreenButton, &QAbstractButton::clicked, this, [this] { toggleFullScreen(); });

    m_strip = new TabStrip(m_session->tabs, m_central);
    connect(
        m_strip, &TabStrip::tabAdded, this, [this](int index) { addTabWidgets(index); },
        Qt::DirectConnection);
    connect(
        m_strip, &TabStrip::tabAboutToBeRemoved, this,
        [this](int index) { removeTabWidgets(index); }, Qt::DirectConnection);
    connect(m_strip, &TabStrip::tabShown, this, [this](int) {
        showSelectedTab();
        m_attention->tabShown(qs(m_session->tabs.pobierz_nazwebiez()));
    });
    connect(m_strip, &TabStrip::focusInputRequested, this, [this] { focusInput(); });
    connect(m_strip, &TabStrip::contextMenuRequested, this,
            [this](int index, QPoint at) { showContextMenu(index, at, false); });

    m_findBar = new FindBar(m_strip);
    connect(m_findBar, &FindBar::dismissed, this, [this] {
        showSelectedTab();
        focusInput();
    });
    connect(m_findBar, &FindBar::allTabsRequested, this, &MainWindow::openHistorySearch);
    useHistory();

    m_slide = new SlideButton(m_session->tabs, *m_strip, services.colours, m_scale, m_strip);
    m_slide->setSettings(&services.settings);
    connect(m_slide, &SlideButton::dragFinished, this, [this] { focusInput(); });
    const QImage* picture = m_hasBackground ? &m_background : nullptr;
    m_input->setBackgroundPicture(picture);
    m_slide->setBackgroundPicture(picture);

    applyFonts();
    for (int i = 0; i < m_session->tabs.count(); ++i) {
        addTabWidgets(i);
    }
    if (m_ownDictionary) {
        m_ownDictionary->startUp();
    }
    m_session->server = services.settings.RegCzytajLONG(u"server");
    layOutWindow();
    showSelectedTab();
    if (m_placement.fullScreen) {
        setFullScreen(true);
    }
}

MainWindow::~MainWindow() {
    m_favoritesMenu.setObserver(nullptr);
    for (QTimer& timer : m_timers) {
        timer.stop();
    }
    delete m_readWatch;
    delete m_writeWatch;
    // The child widgets observe models this window and its session own (the
    // views their line stores, the input line its model): they go first.
    m_tabWidgets.clear();
    m_strip = nullptr;
    m_input = nullptr;
    m_inputWhispers = nullptr;
    delete takeCentralWidget();
    m_central = nullptr;
}

ColorEdit* MainWindow::textView(int index) {
    const TabRecord* record = m_session->tabs.pobierz_lparam(index);
    auto it = record ? m_tabWidgets.find(record) : m_tabWidgets.end();
    return it == m_tabWidgets.end() ? nullptr : it->second.view;
}

UserListView* MainWindow::userListView(int index) {
    const TabRecord* record = m_session->tabs.pobierz_lparam(index);
    auto it = record ? m_tabWidgets.find(record) : m_tabWidgets.end();
    return it == m_tabWidgets.end() ? nullptr : it->second.list;
}

QAction* MainWindow::action(int id) const {
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void MainWindow::applyFonts() {
    std::int32_t fonts = m_services.settings.RegCzytajLONG(u"Fonts");
    if (fonts < 0) {
        fonts = 34;
    }
    const bool vga = m_services.settings.RegCzytajLONG(u"VGA") == 1;
    const int factor = vga ? 1 : m_scale;
    m_listFontSize = (fonts % 16 + 11) * factor;
    const int textSize = ((fonts / 16) % 16 + 11) * factor;
    m_listFont = fontWithCellHeight(m_listFontSize);
    m_metrics.setFont(fontWithCellHeight(textSize));
    m_strip->setScale(m_scale, vga);
    // The find bar shares a handheld's narrow width: 13 px text, scaled as the lists' is.
    m_findBar->setFont(fontWithCellHeight(13 * factor));
    for (auto& [record, widgets] : m_tabWidgets) {
        widgets.view->metricsChanged();
        if (widgets.list) {
            widgets.list->setListFont(m_listFont, m_listFontSize);
        }
    }
}

void MainWindow::loadBackground() {
    m_background = QImage();
    std::u16string path;
    if (m_services.settings.CzytajBmpFile(path) == 1) {
        m_background =
            WczytajTlo(qs(path), m_services.settings.RegCzytajLONG(u"bmpblend"), m_services.log);
    }
    m_hasBackground = !m_background.isNull();
    const QImage* picture = m_hasBackground ? &m_background : nullptr;
    for (auto& [record, widgets] : m_tabWidgets) {
        widgets.view->setBackgroundPicture(picture);
        if (widgets.list) {
            widgets.list->setBackgroundPicture(picture);
        }
    }
    if (m_input) {
        m_input->setBackgroundPicture(picture);
    }
    if (m_slide) {
        m_slide->setBackgroundPicture(picture);
    }
}

void MainWindow::createMenus() {
    m_menuBar = new QMenuBar(m_central);
    m_menuBar->setNativeMenuBar(false);
    auto add = [this](QMenu* menu, int id, const QString& text) {
        QAction* item = menu->addAction(text);
        item->setData(id);
        m_actions[id] = item;
        connect(item, &QAction::triggered, this, [this, id] { handleCommand(id); });
        return item;
    };
    QMenu* file = m_menuBar->addMenu(QStringLiteral("File"));
    add(file, kConnectId, QStringLiteral("Connect"));
    add(file, kNewWindowId, QStringLiteral("New window"));
    add(file, kOptionsId, QStringLiteral("Options"));
    add(file, kExitId, QStringLiteral("Exit"));
    QMenu* commands = m_menuBar->addMenu(QStringLiteral("Commands"));
    for (const MenuItem& item : kCommandItems) {
        add(commands, item.id, QString::fromLatin1(item.text));
    }
    m_favoritesPopup = m_menuBar->addMenu(QStringLiteral("Favorites"));
    QMenu* help = m_menuBar->addMenu(QStringLiteral("Help"));
    add(help, kHelpId, QStringLiteral("Contents"));
    add(help, kAboutId, QStringLiteral("About"));
}

void MainWindow::layOutWindow() {
    if (!m_strip) {
        return;
    }
    const int width = m_central->width();
    const int height = m_central->height();
    const int menuHeight = m_fullScreen ? 0 : m_menuBar->sizeHint().height();
    const int inputHeight = m_input->sizeHint().height();
    const int button = 20 * m_scale;
    const int inputTop = height - menuHeight - inputHeight;
    m_menuBar->setGeometry(0, height - menuHeight, width, menuHeight);
    m_input->setGeometry(0, inputTop, width - button, inputHeight);
    m_fullScreenButton->setGeometry(width - button, inputTop, button, inputHeight);
    m_strip->setGeometry(0, 0, width, std::max(0, inputTop));
    showSelectedTab();
}

void MainWindow::showSelectedTab() {
    const int selected = m_session->tabs.selected();
    const int row = m_strip->labelRowHeight();
    for (int i = 0; i < m_session->tabs.count(); ++i) {
        ColorEdit* view = textView(i);
        UserListView* list = userListView(i);
        if (!view) {
            continue;
        }
        if (i != selected) {
            if (!view->isHidden()) {
                view->markRead();  // the tab is left: where its reader stopped
            }
            view->hide();
            if (list) {
                list->hide();
            }
            continue;
        }
        // The final width at once: each width change wraps the whole scrollback again.
        // An open find bar takes the tab's bottom edge, under the view and the list.
        const int findHeight = m_findBar->isHidden() ? 0 : m_findBar->sizeHint().height();
        const int height = std::max(0, m_strip->height() - row - findHeight);
        TabRecord* record = m_session->tabs.pobierz_lparam(i);
        const int listWidth = list ? record->userListWidth : 0;
        view->setGeometry(0, row, std::max(0, m_strip->width() - listWidth), height);
        m_findBar->setTarget(view, &record->text);
        m_findBar->setGeometry(0, row + height, m_strip->width(), findHeight);
        m_findBar->raise();
        view->show();
        view->raise();
        if (list) {
            list->setGeometry(m_strip->width() - listWidth, row, std::max(0, listWidth), height);
            list->show();
            list->raise();
            m_slide->layOut(view, list);
            m_slide->show();
            m_slide->raise();
            list->refresh();
        } else {
            m_slide->hide();
        }
        view->refresh();
    }
}

void MainWindow::scrollCurrentView(ScrollRequest request) {
    if (ColorEdit* view = textView(m_session->tabs.selected())) {
        view->scrollRequest(request);
    }
}

void MainWindow::addTabWidgets(int index) {
    TabRecord* record = m_session->tabs.pobierz_lparam(index);
    if (!record || m_tabWidgets.count(record)) {
        return;
    }
    // A removed tab's windows are deleted only once their event handlers have
    // returned (m_removedWindows): until then each holds the tab's record, whose
    // models it shows.
    const std::shared_ptr<TabRecord> shared = m_session->tabs.sharedRecord(index);
    auto keepRecord = [shared](QWidget* window) {
        connect(window, &QObject::destroyed, [shared] {});
    };
    TabWidgets widgets;
    widgets.view =
        new ColorEdit(record->text, m_metrics, m_services.colours, &m_viewShared, m_strip);
    keepRecord(widgets.view);
    widgets.view->setLinkOpener(m_linkOpenerForViews.get());
    widgets.view->setSettings(&m_services.settings);
    widgets.view->setBackgroundPicture(m_hasBackground ? &m_background : nullptr);
    widgets.view->hide();
    // The menus act on the current tab, whose windows are the ones shown; a
    // window whose tab is gone opens none.
    connect(widgets.view, &ColorEdit::contextMenuRequested, this,
            [this, view = widgets.view](QPoint at) {
                if (textView(m_session->tabs.selected()) == view) {
                    showContextMenu(m_session->tabs.selected(), at, false);
                }
            });
    if (record->userList) {
        widgets.list = new UserListView(*record->userList, m_services.colours, m_strip);
        keepRecord(widgets.list);
        widgets.list->setSettings(&m_services.settings);
        widgets.list->setListFont(m_listFont, m_listFontSize);
        widgets.list->setBackgroundPicture(m_hasBackground ? &m_background : nullptr);
        connect(widgets.list, &UserListView::tabSwitchRequested, this,
                [this](int key) { m_session->tabs.PrzelaczZakladke(key); });
        connect(widgets.list, &UserListView::contextMenuRequested, this,
                [this, list = widgets.list](QPoint at) {
                    if (userListView(m_session->tabs.selected()) == list) {
                        showContextMenu(m_session->tabs.selected(), at, true);
                    }
                });
        widgets.list->hide();
    }
    m_tabWidgets[record] = widgets;
}

void MainWindow::removeTabWidgets(int index) {
    const TabRecord* record = m_session->tabs.pobierz_lparam(index);
    auto it = record ? m_tabWidgets.find(record) : m_tabWidgets.end();
    if (it == m_tabWidgets.end()) {
        return;
    }
    if (m_findBar->target() == it->second.view) {
        m_findBar->setTarget(nullptr, nullptr);
    }
    m_removedWindows.remove(it->second.view);
    m_removedWindows.remove(it->second.list);
    m_tabWidgets.erase(it);
}

void MainWindow::showContextMenu(int index, QPoint globalPosition, bool onUserList) {
    ColorEdit* view = textView(index);
    UserListView* list = userListView(index);
    if (!view || (onUserList && !list)) {
        return;
    }
    const RemovedTabWindows::HandlerScope running(m_removedWindows);
    Session& s = *m_session;
    ContextMenus menus({s.state, s.connection, s.commands, m_services.settings, s.tabs, s.output,
                        m_services.colours, *this, m_services.log});
    QWidget* owner = onUserList ? static_cast<QWidget*>(list) : view;
    QtContextMenuWindow window(owner, globalPosition, view);
    if (!onUserList) {
        window.setLink(linkUnder(*view, view->viewport()->mapFromGlobal(globalPosition)));
    }
    if (onUserList) {
        menus.ContextProc(window, list->selectedLabel());
    } else {
        menus.tabContextProc(window, index);
    }
    afterNetworkWork();
}

void MainWindow::onEnter() {
    // The answer of the line becomes the user-quit flag: only /quit yields 1.
    m_session->state.userQuit = m_session->commands.parsuj(m_inputModel) != 0;
    // The list never outlives the line it served.
    m_inputWhispers->close();
    afterNetworkWork();
}

// The user lists have no change notification: redraw the shown one after any
// work that may have changed it.
void MainWindow::afterNetworkWork() {
    if (UserListView* list = userListView(m_session->tabs.selected())) {
        list->refresh();
    }
}

void MainWindow::onTimer(TimerId id) {
    switch (id) {
        case kPollTimer:
            m_session->connection.pollTick();
            break;
        case kRetryTimer:
            m_session->connection.retryTick();
            break;
        case kBanListTimer:
            stopTimer(kBanListTimer);
            koniec_banlisty(m_session->context);
            break;
        case kConnectTimer:
            m_session->connection.connectTimedOut();
            break;
        case kPaceTimer:
            m_session->connection.paceTick();
            break;
    }
    afterNetworkWork();
}

void MainWindow::handleCommand(int id) {
    if (id >= kFirstMenuCommand && id <= kLastRoutedMenuCommand) {
        m_session->state.userQuit = m_menuCommands.ObslugaMenuCommands(id) != 0;
    } else if (id >= FavoritesMenu::kFirstId && id <= FavoritesMenu::kLastId) {
        insertFavorite(id);
        return;  // the input line keeps its focus and caret
    } else {
        switch (id) {
            case kConnectId:
                m_session->connection.connectCommand();
                break;
            case kNewWindowId:
                if (m_set) {
                    m_set->openWindow();
                }
                return;  // the new window has the focus
            case kExitId:
                if (m_set) {
                    m_set->closeAll();
                } else {
                    close();
                }
                return;
            case kOptionsId:
                openOptions();
                break;
            case FavoritesMenu::kAddId:
                addFavorite();
                break;
            case FavoritesMenu::kRemoveId:
                removeFavorite();
                break;
            case kHelpId:
                openHelp();
                break;
            case kAboutId: {
                Splash splash(m_scale, m_services.settings.RegCzytajLONG(u"VGA") == 1, this);
                splash.exec();
                break;
            }
            default:
                return;
        }
    }
    afterNetworkWork();
    focusInput();
}

std::unique_ptr<OptionsDialog> MainWindow::makeOptionsDialog() {
    auto dialog = std::make_unique<OptionsDialog>(
        OptionsDialogServices{ServerListServices{m_services.settings, m_services.log,
                                                 m_services.clock, m_services.random},
                              m_services.sound, m_session->dictionary, *this, m_clearHistory,
                              m_session->server},
        m_scale, this);
    dialog->setFont(m_dialogFont);
    dialog->setGeometry(geometry());
    return dialog;
}

void MainWindow::applyOptions() {
    m_services.colours.reload(m_services.settings);
    m_input->refreshColours();
    m_session->notify.NotifyList_Delete();
    m_session->notify.NotifyList_Load();
    applyFonts();
    loadBackground();
    layOutWindow();
    for (auto& [record, widgets] : m_tabWidgets) {
        widgets.view->refresh();
        if (widgets.list) {
            widgets.list->refresh();
        }
    }
    // The input line, the buttons and the tab labels paint with the new colours too.
    for (QWidget* child : m_central->findChildren<QWidget*>()) {
        child->update();
    }
}

void MainWindow::openHelp() {
    const QString path =
        qs(m_services.settings.CzytajInstallDir()) + QStringLiteral("help/help.html");
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        messageBox(u"Can't open help file :-(", u"ERROR!");
    }
}

void MainWindow::showWelcome(bool splash) {
    if (splash && m_services.settings.switchOn(u"splashscr")) {
        Splash screen(m_scale, m_services.settings.RegCzytajLONG(u"VGA") == 1, this);
        screen.exec();
    }
    printWelcomeBanner(m_session->output);
    focusInput();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layOutWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    rememberPlacement(m_services.settings, *this, m_fullScreen);
    m_session->connection.exitCommand();
    event->accept();
    if (m_set) {
        m_set->windowClosed(*this);
    }
}

bool MainWindow::startTimer(TimerId id, int intervalMs) {
    m_timers[id - 1].start(intervalMs);
    return true;
}

bool MainWindow::stopTimer(TimerId id) {
    QTimer& timer = m_timers[id - 1];
    const bool wasRunning = timer.isActive();
    timer.stop();
    return wasRunning;
}

void MainWindow::messageBox(std::u16string_view text, std::u16string_view title) {
    messageInWindow(this, QMessageBox::Warning, qs(title), qs(text), QMessageBox::Ok);
}

bool MainWindow::askYesNo(std::u16string_view text, std::u16string_view title) {
    return messageInWindow(this, QMessageBox::Question, qs(title), qs(text),
                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool MainWindow::watchSocket(SocketHandle sock, bool readable, bool writable) {
    auto watch = [&](QSocketNotifier*& watcher, QSocketNotifier::Type type, bool on,
                     void (Connection::*ready)()) {
        if (watcher && (sock == kInvalidSocket || watcher->socket() != sock)) {
            // Later: this may run inside the notifier's own signal.
            watcher->setEnabled(false);
            watcher->deleteLater();
            watcher = nullptr;
        }
        if (sock == kInvalidSocket) {
            return;
        }
        if (!watcher) {
            watcher = new QSocketNotifier(sock, type, this);
            connect(watcher, &QSocketNotifier::activated, this, [this, ready] {
                (m_session->connection.*ready)();
                afterNetworkWork();
            });
        }
        watcher->setEnabled(on);
    };
    watch(m_readWatch, QSocketNotifier::Read, readable, &Connection::socketReadable);
    watch(m_writeWatch, QSocketNotifier::Write, writable, &Connection::socketWritable);
    return true;
}

bool MainWindow::runInBackground(std::function<void()> work, std::function<void()> done) {
    QThread* thread = QThread::create(std::move(work));
    // finished is queued to this window's thread, and dropped if the window is gone.
    connect(thread, &QThread::finished, this, [this, done = std::move(done)] {
        done();
        afterNetworkWork();
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return true;
}

void MainWindow::setConnectedLabel(bool connected) {
    if (connected) {
        ZmienMenuPolaczony(m_menuBar, &m_services.log);
    } else {
        ZmienMenuRozlaczony(m_menuBar, &m_services.log);
    }
}

void MainWindow::showLag(std::optional<std::uint64_t> ms) {
    m_strip->labelRow()->setTabToolTip(
        0, ms ? QStringLiteral("Lag: %1 ms").arg(static_cast<qulonglong>(*ms)) : QString());
}

void MainWindow::focusInput() {
    if (m_input) {
        m_input->Focus2Input();
    }
}

std::optional<std::u16string> MainWindow::promptOneField(int commandId, std::u16string_view title,
                                                         std::u16string_view prompt) {
    return m_prompts.promptOneField(commandId, title, prompt);
}

std::optional<std::pair<std::u16string, std::u16string>> MainWindow::promptTwoFields(
    int commandId, std::u16string_view title, std::u16string_view firstPrompt,
    std::u16string_view secondPrompt) {
    return m_prompts.promptTwoFields(commandId, title, firstPrompt, secondPrompt);
}

std::optional<int> MainWindow::pickFromList(int commandId, std::u16string_view title,
                                            std::u16string_view prompt,
                                            const std::vector<std::u16string>& items) {
    return m_prompts.pickFromList(commandId, title, prompt, items);
}

}  // namespace kolu
