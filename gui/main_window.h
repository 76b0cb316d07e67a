#pragma once
// A main window of the client: the tab strip with each tab's text view and user
// list, the input line and full-screen button below, the menu bar at the bottom.
// It owns its session (its own connection, server choice and tabs), implements
// the host the logic asks for timers, message boxes and prompts, and routes
// every menu command. The program's windows belong to a WindowSet.
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>

#include "commands/favorites.h"
#include "commands/input_line_model.h"
#include "commands/menu_commands.h"
#include "commands/nick_completion.h"
#include "connection/session.h"
#include "gui/prompt_dialogs.h"
#include "gui/qt_text_metrics.h"
#include "gui/removed_tab_windows.h"
#include "gui/search_dialog.h"
#include "gui/window_placement.h"
#include "ui/host.h"
#include "ui/text_view_layout.h"

class QAction;
class QMenu;
class QMenuBar;
class QSocketNotifier;

namespace kolu {

class ColorEdit;
class DesktopAttention;
class DesktopLinkOpener;
class FindBar;
class IrcLinkOpener;
class OptionsDialog;
class FullScreenButton;
class InputLine;
class SlideButton;
class TabStrip;
class UserListView;
class WhisperHook;
struct WhisperServices;
class HistoryKeeper;
class WindowSet;

// What the window needs from the running program.
struct MainWindowServices : ProgramServices {
    ColourTable& colours;
    HistoryKeeper* history = nullptr;  // the program's stored history; null: none
    // The program's word dictionary, made (Dictionary::startUp) by its owner; null:
    // the window keeps and makes one of its own (a window on its own).
    Dictionary* dictionary = nullptr;
};

class MainWindow final : public QMainWindow, public Host, public FavoritesMenuObserver {
    Q_OBJECT
  public:
    static constexpr int kDefaultWidth = 480;
    static constexpr int kDefaultHeight = 640;
    static constexpr int kConnectId = 40008;
    static constexpr int kOptionsId = 40009;
    static constexpr int kExitId = 40010;
    static constexpr int kNewWindowId = 40011;
    static constexpr int kHelpId = 40005;
    static constexpr int kAboutId = 40007;

    explicit MainWindow(const MainWindowServices& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return *m_session; }
    InputLine& inputLine() { return *m_input; }
    // Word completion on the input line.
    WhisperHook& inputWhispers() { return *m_inputWhispers; }
    TabStrip& tabStrip() { return *m_strip; }
    int scaleFactor() const { return m_scale; }
    // The text view of tab `index`, or null.
    ColorEdit* textView(int index);
    UserListView* userListView(int index);
    // The menu action for a command id, or null.
    QAction* action(int id) const;
    // Ctrl+F's bar under the current tab's view.
    FindBar& findBar() { return *m_findBar; }
    // Ctrl+F: the bar opened over the current tab.
    void openFindBar();
    // What Ctrl+Shift+F searches; none: the dialog says history is off.
    void setHistorySearch(HistorySearch search);
    // Ctrl+Shift+F: the all-tabs search, opened (once) with these words.
    void openHistorySearch(const QString& query);
    SearchDialog* historySearchDialog() const { return m_searchDialog; }

    // The options dialog over the window, filled from the settings.
    std::unique_ptr<OptionsDialog> makeOptionsDialog();
    // After the dialog's OK: the colours, fonts, picture and notify list it saved,
    // applied without a restart.
    void applyOptions();
    // favorites.txt again, after another window changed it.
    void reloadFavorites();
    // The windows this one belongs to: they hear of its activation, close and
    // saved options and favourites, and handle File > New window and File > Exit.
    // Without them New window does nothing and Exit closes this window alone.
    void setWindowSet(WindowSet* set) { m_set = set; }

    // WM_APP+5: the splash when `splashscr` is 1, the welcome banner, the focus.
    void showWelcome(bool splash = true);
    // A second start found this window (InitInstance): brought to the front in
    // the mode it is in, full screen included.
    void bringToFront();
    // WM_COMMAND: runs the menu command `id`.
    void handleCommand(int id);
    // Selects the tab named `name` ("" the status tab) if there is one, and
    // brings the window to the front.
    void showTab(const QString& name);
    DesktopAttention& desktopAttention() { return *m_attention; }
    // An irc:// or ircs:// address from the desktop: its server and channel.
    void openLink(const QString& address);

    // Host
    bool startTimer(TimerId id, int intervalMs) override;
    bool stopTimer(TimerId id) override;
    void messageBox(std::u16string_view text, std::u16string_view title) override;
    void setConnectedLabel(bool connected) override;
    bool askYesNo(std::u16string_view text, std::u16string_view title) override;
    bool watchSocket(SocketHandle sock, bool readable, bool writable) override;
    bool runInBackground(std::function<void()> work, std::function<void()> done) override;
    void focusInput() override;
    void showLag(std::optional<std::uint64_t> ms) override;
    std::optional<std::u16string> promptOneField(int commandId, std::u16string_view title,
                                                 std::u16string_view prompt) override;
    std::optional<std::pair<std::u16string, std::u16string>> promptTwoFields(
        int commandId, std::u16string_view title, std::u16string_view firstPrompt,
        std::u16string_view secondPrompt) override;
    std::optional<int> pickFromList(int commandId, std::u16string_view title,
                                    std::u16string_view prompt,
                                    const std::vector<std::u16string>& items) override;

    // FavoritesMenuObserver
    void favoritesChanged() override;
    void attention(Attention kind, std::u16string_view tab, std::u16string_view line) override;

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct TabWidgets {
        ColorEdit* view = nullptr;
        UserListView* list = nullptr;
    };

    void applyFonts();
    void loadBackground();
    void createMenus();
    void layOutWindow();
    void showSelectedTab();
    // Shift+Page Up / Page Down (Ctrl in the input line): the current view by a page.
    void scrollCurrentView(ScrollRequest request);
    void addTabWidgets(int index);
    void removeTabWidgets(int index);
    // A tap-and-hold on tab `index`'s user list (`onUserList`), text view or label:
    // its context menu, and the chosen item carried out.
    void showContextMenu(int index, QPoint globalPosition, bool onUserList);
    void onEnter();
    void afterNetworkWork();
    void onTimer(TimerId id);
    void toggleFullScreen();
    void setFullScreen(bool on);
    void openHelp();
    // File > Options: the dialog, then what it changed (colours, fonts, picture,
    // notify list) applied without a restart.
    void openOptions();
    // Lines go to the program's history store, whose problems the status tab tells.
    void useHistory();
    // Ctrl+F, Ctrl+Shift+F, Ctrl+J (back to the read marker) and Alt+1..9.
    void createReadingKeys();
    // A hit chosen in the all-tabs search: its tab shown at the line.
    void showHistoryHit(const QString& network, const QString& tab, qint64 id);
    // Selects the tab of that name (the status tab by its label), if there is one;
    // answers its index, -1 for none.
    int selectTabNamed(const QString& tab);
    void addFavorite();
    void removeFavorite();
    // favorites.txt rewritten from the menu; the other windows read it again.
    void saveFavorites();
    void insertFavorite(int id);

    MainWindowServices m_services;
    WindowSet* m_set = nullptr;
    // Where the window opens; the scale factor follows from its screen.
    WindowPlacement m_placement;
    int m_scale = 1;
    QFont m_dialogFont;
    QFont m_listFont;
    int m_listFontSize = 13;
    QtTextMetrics m_metrics;
    TextViewShared m_viewShared;
    std::unique_ptr<Dictionary> m_ownDictionary;  // only without the program's
    std::unique_ptr<Session> m_session;
    InputLineModel m_inputModel;
    NickCompletion m_nickCompletion;
    MenuCommands m_menuCommands;
    QtPrompts m_prompts;
    Favorites m_favorites;
    FavoritesMenu m_favoritesMenu;
    int m_favoriteCount = 0;
    QImage m_background;
    bool m_hasBackground = false;
    bool m_fullScreen = false;

    QWidget* m_central = nullptr;
    TabStrip* m_strip = nullptr;
    SlideButton* m_slide = nullptr;
    InputLine* m_input = nullptr;
    FullScreenButton* m_fullScreenButton = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_favoritesPopup = nullptr;
    std::map<int, QAction*> m_actions;
    std::map<const TabRecord*, TabWidgets> m_tabWidgets;
    RemovedTabWindows m_removedWindows;
    QTimer m_timers[5];
    // The connection's socket, watched for reading and for a connect's end.
    QSocketNotifier* m_readWatch = nullptr;
    QSocketNotifier* m_writeWatch = nullptr;
    DesktopAttention* m_attention = nullptr;
    IrcLinkOpener* m_linkOpener = nullptr;
    std::unique_ptr<DesktopLinkOpener>
        m_linkOpenerForViews;  // what the text views' links open with
    std::unique_ptr<WhisperServices> m_whispers;
    WhisperHook* m_inputWhispers = nullptr;
    FindBar* m_findBar = nullptr;
    HistorySearch m_historySearch;
    std::function<void()> m_clearHistory;  // Options' "Clear history"; empty without a store
    QPointer<SearchDialog> m_searchDialog;
};

}  // namespace kolu
