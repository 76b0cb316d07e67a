#include "options/options_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "connection/server_logins.h"
#include "gui/accessible_names.h"
#include "gui/whisper_hook.h"
#include "options/connection_page.h"
#include "options/files_page.h"
#include "options/info_page.h"
#include "options/model/options_store.h"
#include "options/screen_page.h"
#include "options/sounds_page.h"
#include "options/switches_page.h"
#include "options/view_page.h"
#include "platform/text.h"
#include "servers/server_choice.h"
#include "settings/settings.h"
#include "ui/host.h"

namespace kolu {

// Check box and radio button marks at the scale of the text around them.
class ScaledIndicatorStyle final : public QProxyStyle {
  public:
    explicit ScaledIndicatorStyle(int scaleFactor) : m_scale(scaleFactor) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int size = QProxyStyle::pixelMetric(metric, option, widget);
        switch (metric) {
            case PM_IndicatorWidth:
            case PM_IndicatorHeight:
            case PM_ExclusiveIndicatorWidth:
            case PM_ExclusiveIndicatorHeight:
                return size * m_scale;
            default:
                return size;
        }
    }

  private:
    int m_scale;
};

OptionsDialog::OptionsDialog(const OptionsDialogServices& services, int scaleFactor,
                             QWidget* parent)
    : QDialog(parent), m_services(services), m_values(wczytaj_ustawienia(services.servers)) {
    setWindowTitle(QStringLiteral("Options"));
    setObjectName(QStringLiteral("opcje"));
    Settings& settings = services.servers.settings;
    if (services.server) {
        m_values.server = *services.server;
    }

    m_whispers = std::make_unique<WhisperServices>(
        WhisperServices{settings, services.dictionary, scaleFactor});
    auto* connection =
        new ConnectionPage(m_values.servers, m_values.server, scaleFactor, m_whispers.get());
    m_logins = std::make_unique<ServerLogins>(toUtf8(settings.CzytajInstallDir()) +
                                              ServerLogins::kFileName);
    connection->useLogins(m_logins.get());
    auto* view = new ViewPage(scaleFactor);
    auto* screen = new ScreenPage;
    m_pages = {connection,
               new SwitchesPage,
               view,
               screen,
               new SoundsPage(settings, services.sound, scaleFactor),
               new InfoPage(services.host, scaleFactor),
               new FilesPage(services.dictionary, services.clearHistory, scaleFactor)};
    const char* titles[kPageCount] = {"Connection", "Options", "View", "Screen",
                                      "Sounds",     "Info",    "Files"};
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("1100"));
    m_tabs->setAccessibleName(QStringLiteral("Options pages"));
    for (int i = 0; i < kPageCount; ++i) {
        // A page taller than a small window scrolls rather than being cut off.
        auto* scroller = new QScrollArea;
        scroller->setWidget(m_pages[i]);
        scroller->setWidgetResizable(true);
        scroller->setFrameShape(QFrame::NoFrame);
        m_tabs->addTab(scroller, QString::fromLatin1(titles[i]));
    }
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2 * scaleFactor, 2 * scaleFactor, 2 * scaleFactor, 2 * scaleFactor);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    // Every check box and text field of every page, by its id.
    for (const CheckSetting& check : kCheckSettings) {
        controlById<QCheckBox>(this, check.id)->setChecked(m_values.check(check.id));
    }
    for (const TextSetting& setting : kTextSettings) {
        QLineEdit* edit = controlById<QLineEdit>(this, setting.id);
        edit->setMaxLength(setting.fieldLimit - 1);
        edit->setText(qs(m_values.text(setting.id)));
        edit->setCursorPosition(0);
    }
    connect(screen, &ScreenPage::resolutionChanged, view, &ViewPage::setResolution);
    connect(screen, &ScreenPage::pictureSwitched, view, &ViewPage::setPictureOn);
    for (OptionsPageWidget* page : m_pages) {
        page->load(m_values);
    }
    // Check marks grow with the text (the style draws them at one size). Made
    // after the buttons, the style is deleted after them.
    auto* indicators = new ScaledIndicatorStyle(scaleFactor);
    indicators->setParent(this);
    for (QWidget* box : findChildren<QAbstractButton*>()) {
        if (qobject_cast<QCheckBox*>(box) || qobject_cast<QRadioButton*>(box)) {
            box->setStyle(indicators);
        }
    }

    connect(m_tabs, &QTabWidget::currentChanged, this, &OptionsDialog::showPage);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &OptionsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &OptionsDialog::reject);
    m_buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    nameControlsByTheirLabels(*this);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitPageNames();
    }
}

void OptionsDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    fitPageNames();
}

// The largest size up to the dialog's own at which all seven page names fit
// across the dialog, so none hides behind the scroll arrows.
void OptionsDialog::fitPageNames() {
    QTabBar* bar = m_tabs->tabBar();
    QFont names = font();
    const int largest = names.pixelSize() > 0 ? names.pixelSize() : QFontMetrics(names).height();
    for (int pixels = largest; pixels >= 8; --pixels) {
        names.setPixelSize(pixels);
        bar->setFont(names);
        if (bar->sizeHint().width() <= m_tabs->width()) {
            break;
        }
    }
}

void OptionsDialog::showPage(int index) {
    if (index >= 0 && index < kPageCount) {
        m_pages[static_cast<std::size_t>(index)]->shown();
    }
}

void OptionsDialog::collect() {
    for (const CheckSetting& check : kCheckSettings) {
        m_values.checks[check.id] = controlById<QCheckBox>(this, check.id)->isChecked();
    }
    for (const TextSetting& setting : kTextSettings) {
        m_values.texts[setting.id] =
            controlById<QLineEdit>(this, setting.id)->text().toStdU16String();
    }
    for (OptionsPageWidget* page : m_pages) {
        page->store(m_values);
    }
}

void OptionsDialog::accept() {
    collect();
    const OptionsSaveResult result = zapisz_ustawienia(m_services.servers, m_values);
    if (!result.problem.empty()) {
        m_services.host.messageBox(result.problem, u"Error!");
    }
    if (result.problem.empty()) {
        // Only a saved server list lets the logins of its deleted servers go.
        static_cast<ConnectionPage*>(m_pages[kConnection])->forgetDroppedLogins();
    }
    if (result.settingsSaved) {
        QDialog::accept();
    }
}

std::optional<std::int32_t> OptionsDialog::chosenServer() const {
    const int position = chosenServerPosition(m_values.servers, m_values.chosenServer);
    return position < 0 ? std::nullopt : std::optional<std::int32_t>(position);
}

}  // namespace kolu
