// The main window among the program's others: Options with the window's own
// server, and the favourites, kept in step with the other windows (which share
// the settings and favorites.txt).
#include <QLineEdit>
#include <QMenu>

#include "gui/input_line.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"
#include "gui/window_set.h"
#include "options/options_dialog.h"

namespace kolu {

void MainWindow::openOptions() {
    // No notify query goes out while the user edits the list.
    m_session->state.optionsOpen = true;
    const std::unique_ptr<OptionsDialog> dialog = makeOptionsDialog();
    const bool accepted = dialog->exec() == QDialog::Accepted;
    m_session->state.optionsOpen = false;
    if (accepted) {
        // The server chosen there counts again, over an address opened earlier: for
        // this window, and for windows opened later through the `server` it stored.
        m_session->linkedServer.reset();
        if (const std::optional<std::int32_t> chosen = dialog->chosenServer()) {
            m_session->server = chosen;
        }
        applyOptions();
        if (m_set) {
            m_set->optionsApplied(*this);
        }
    }
}

void MainWindow::favoritesChanged() {
    m_favoritesPopup->clear();
    for (auto it = m_actions.begin(); it != m_actions.end();) {
        const int id = it->first;
        it = (id >= FavoritesMenu::kFirstId && id <= FavoritesMenu::kRemoveId) ? m_actions.erase(it)
                                                                               : std::next(it);
    }
    auto add = [this](int id, const QString& text) {
        QAction* item = m_favoritesPopup->addAction(text);
        item->setData(id);
        m_actions[id] = item;
        connect(item, &QAction::triggered, this, [this, id] { handleCommand(id); });
    };
    add(FavoritesMenu::kAddId, QStringLiteral("Add"));
    add(FavoritesMenu::kRemoveId, QStringLiteral("Remove"));
    m_favoritesPopup->addSeparator();
    for (const FavoritesMenu::Item& item : m_favoritesMenu.items()) {
        add(item.id, qs(item.text));
    }
}

void MainWindow::insertFavorite(int id) {
    if (std::optional<std::u16string> text = favoriteInsertText(m_favoritesMenu, id)) {
        // EM_REPLACESEL: the sentence replaces the selection at the caret.
        if (QLineEdit* edit = m_input->lineEdit()) {
            edit->insert(qs(*text));
        }
    }
    focusInput();
}

void MainWindow::addFavorite() {
    const PromptText* texts = findPrompt(FavoritesMenu::kAddId);
    std::optional<std::u16string> text = promptOneField(
        FavoritesMenu::kAddId, texts ? texts->title : u"", texts ? texts->prompt : u"");
    if (text && !text->empty()) {
        m_favoriteCount = m_favorites.FavAdd(m_favoritesMenu, *text, m_favoriteCount);
        saveFavorites();
    }
}

void MainWindow::removeFavorite() {
    const FavoritesListData data = Favorites::Fav2Listbox(m_favoritesMenu);
    std::optional<int> picked =
        pickFromList(FavoritesMenu::kRemoveId, data.title, data.caption, data.sentences);
    if (picked && *picked >= 0) {
        m_favoriteCount = m_favorites.FavDel(m_favoritesMenu, *picked, m_favoriteCount);
        saveFavorites();
    }
}

void MainWindow::saveFavorites() {
    m_favorites.FavZapisz(m_favoritesMenu, m_favoriteCount);
    if (m_set) {
        m_set->favoritesSaved(*this);
    }
}

void MainWindow::reloadFavorites() {
    // A window that kept its old list would write it over the other's change.
    m_favoritesMenu = FavoritesMenu();
    m_favoriteCount = m_favorites.FavWczytaj(m_favoritesMenu);
    m_favoritesMenu.setObserver(this);
    favoritesChanged();
}

}  // namespace kolu
