#pragma once
// The options dialog (`opcje`): seven pages in a tab control over the main
// window's whole area, filled from the settings when it opens. OK stores every
// page (whole or nothing) and closes; Cancel, Escape and the window's close
// button close without writing anything. Only "Flush" and "Previous" act at
// once, on the dictionary, and "Clear history".
#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "options/model/options_pages.h"
#include "servers/server_list.h"

class QTabWidget;
class QDialogButtonBox;

namespace kolu {

class ConnectionPage;
class Dictionary;
class Host;
class OptionsPageWidget;
class ServerLogins;
class SoundPlayer;
struct WhisperServices;

struct OptionsDialogServices {
    ServerListServices servers;  // settings, error log, clock, random
    SoundPlayer& sound;
    Dictionary& dictionary;
    Host& host;  // prompts and message boxes
    // Empties the stored history at once ("Clear history"); empty when there is none.
    std::function<void()> clearHistory;
    // The server shown as chosen (the window's own); unset: the `server` setting.
    std::optional<std::int32_t> server;
};

class OptionsDialog final : public QDialog {
    Q_OBJECT
  public:
    enum Page { kConnection, kOptions, kView, kScreen, kSounds, kInfo, kFiles, kPageCount };

    OptionsDialog(const OptionsDialogServices& services, int scaleFactor,
                  QWidget* parent = nullptr);

    QTabWidget* pageTabs() const { return m_tabs; }
    OptionsPageWidget* page(Page page) const { return m_pages[page]; }
    // OK: stores every page; stays open (after saying why) when nothing could be saved.
    void accept() override;
    // After OK: the position of the server chosen on the Connection page (the
    // `server` stored), none when no server was chosen.
    std::optional<std::int32_t> chosenServer() const;
    ~OptionsDialog() override;

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // OpPokazStrone: the tab widget shows the page's controls; the page then
    // selects and focuses what it shows first.
    void showPage(int index);
    void fitPageNames();
    void collect();

    OptionsDialogServices m_services;
    std::unique_ptr<WhisperServices> m_whispers;
    std::unique_ptr<ServerLogins> m_logins;  // the server dialogs' account logins
    OptionsPages m_values;
    QTabWidget* m_tabs;
    QDialogButtonBox* m_buttons;
    std::vector<OptionsPageWidget*> m_pages;
};

}  // namespace kolu
