// The main window's side towards the desktop: full screen, activation,
// notifications and their clicks, irc:// addresses, the reading keys (find,
// history search, read marker, tabs) and the stored history.
#include <QEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>

#include "gui/color_edit.h"
#include "gui/drawn_button.h"
#include "gui/desktop_attention.h"
#include "gui/find_bar.h"
#include "gui/history_keeper.h"
#include "gui/irc_link.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/window_set.h"

namespace kolu {

void MainWindow::toggleFullScreen() {
    setFullScreen(!m_fullScreen);
    focusInput();
}

void MainWindow::setFullScreen(bool on) {
    m_fullScreen = on;
    // Back to maximised when it was, else to the normal geometry.
    if (m_fullScreen) {
        setWindowState(windowState() | Qt::WindowFullScreen);
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    }
    m_menuBar->setVisible(!m_fullScreen);
    m_fullScreenButton->setFullScreenState(m_fullScreen);
    layOutWindow();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && m_attention) {
        m_attention->tabShown(qs(m_session->tabs.pobierz_nazwebiez()));
    }
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        if (ColorEdit* view = textView(m_session->tabs.selected())) {
            view->markRead();  // the window is left: where its reader stopped
        }
    }
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_set) {
        m_set->windowActivated(*this);  // a later start's raise and links come here
    }
}

void MainWindow::createReadingKeys() {
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            &MainWindow::openFindBar);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), this),
            &QShortcut::activated, this, [this] { openHistorySearch(m_findBar->field()->text()); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_J), this), &QShortcut::activated, this,
            [this] {
                if (ColorEdit* view = textView(m_session->tabs.selected())) {
                    view->jumpToReadMarker();
                }
            });
    // Alt+1 .. Alt+9: the first nine tabs.
    for (int n = 1; n <= 9; ++n) {
        connect(new QShortcut(QKeySequence(Qt::ALT | (Qt::Key_0 + n)), this), &QShortcut::activated,
                this, [this, n] {
                    if (m_session->tabs.select(n - 1)) {
                        m_session->tabs.ZmienZakladke();
                    }
                    focusInput();
                });
    }
}

void MainWindow::openFindBar() {
    m_findBar->open();
    showSelectedTab();  // the view makes room for it
}

void MainWindow::setHistorySearch(HistorySearch search) {
    m_historySearch = std::move(search);
    delete m_searchDialog;  // the next one searches with the new function
}

void MainWindow::openHistorySearch(const QString& query) {
    if (m_services.history) {
        m_services.history->writeNow();  // the lines just shown are found too
    }
    if (!m_searchDialog) {
        m_searchDialog = new SearchDialog(m_historySearch, this);
        m_searchDialog->setFont(m_findBar->font());  // a hit's words want the room
        m_searchDialog->setGeometry(geometry());  // as Options: the window's size, handhelds too
        connect(m_searchDialog, &SearchDialog::hitChosen, this, &MainWindow::showHistoryHit);
    }
    if (!query.isEmpty()) {
        m_searchDialog->setQuery(query);
    }
    m_searchDialog->show();
    m_searchDialog->raise();
    m_searchDialog->activateWindow();
    m_searchDialog->field()->setFocus();
}

void MainWindow::useHistory() {
    HistoryKeeper* keeper = m_services.history;
    if (!keeper) {
        return;
    }
    m_session->output.setHistory(keeper->store());
    setHistorySearch(keeper->search());
    m_clearHistory = keeper->clearer();
    const auto tell = [this](const QString& message) {
        m_session->output.addLine(u"", message.toStdU16String(),
                                  m_services.colours.of(LineClass::Info));
    };
    for (const QString& message : keeper->takeEarlierReports()) {
        tell(message);
    }
    connect(keeper, &HistoryKeeper::reported, this, tell);
}

void MainWindow::showHistoryHit(const QString& network, const QString& tab, qint64 id) {
    const int index = network.toStdU16String() == m_session->output.network() ? selectTabNamed(tab) : -1;
    if (index < 0) {
        m_session->output.addLine(
            u"", (QStringLiteral("*** %1 on %2 is not open here").arg(tab, network)).toStdU16String(),
            m_services.colours.of(LineClass::Info));
        return;
    }
    if (ColorEdit* view = textView(index)) {
        view->showStoredLine(id);
    }
}

int MainWindow::selectTabNamed(const QString& tab) {
    // A window is on one network at a time: its tabs go by name, the status
    // tab by its label.
    const std::u16string name = tab.toStdU16String();
    const int index = m_session->tabs.pobierz_nazwe(0, name.size()) == name
                          ? 0
                          : m_session->tabs.znajdz_zakladke(name);
    if (index < 0 || !m_session->tabs.select(index)) {
        return -1;
    }
    m_session->tabs.ZmienZakladke();
    return index;
}

void MainWindow::bringToFront() {
    // showNormal() would leave full screen behind the window's back: only a
    // minimized window is restored, to the mode it had.
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::showTab(const QString& name) {
    selectTabNamed(name);
    bringToFront();
}

void MainWindow::openLink(const QString& address) {
    bringToFront();
    m_linkOpener->open(address);
    afterNetworkWork();
}

void MainWindow::attention(Attention kind, std::u16string_view tab, std::u16string_view line) {
    m_attention->lineArrived(kind, qs(tab), qs(line), qs(m_session->tabs.pobierz_nazwebiez()));
}

}  // namespace kolu
