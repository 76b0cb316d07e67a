#include "options/sounds_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

#include "options/textured_button.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "settings/settings.h"

namespace kolu {
namespace {

constexpr const char* kEventNames[kSoundEventCount] = {
    "Join", "Part", "Query", "Invite", "Notice", "Highlight", "Quit",
    "Ping", "Kick", "Op",    "Deop",   "Voice",  "Devoice"};
constexpr int kControlIds[] = {1502, 1503, 1504, 1505, 1506};

}  // namespace

SoundsPage::SoundsPage(Settings& settings, SoundPlayer& sound, int scaleFactor, QWidget* parent)
    : OptionsPageWidget(parent), m_settings(settings), m_sound(sound) {
    auto* grid = new QGridLayout(this);
    grid->addWidget(makeCheck(1501, QStringLiteral("Enable"), this), 0, 0, 1, 2);
    grid->addWidget(makeLabel(1502, QStringLiteral("Action:"), this), 1, 0, 1, 2);
    m_events = new QTreeWidget(this);
    m_events->setObjectName(QStringLiteral("1503"));
    m_events->setAccessibleName(QStringLiteral("Event sounds"));
    m_events->setHeaderLabels({QStringLiteral("Action"), QStringLiteral("Sound")});
    m_events->setRootIsDecorated(false);
    m_events->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_events->setColumnWidth(0, 70 * scaleFactor);
    for (const char* name : kEventNames) {
        new QTreeWidgetItem(m_events, {QString::fromLatin1(name), QString()});
    }
    grid->addWidget(m_events, 2, 0, 1, 2);
    grid->addWidget(makeLabel(1504, QStringLiteral("Sound:"), this), 3, 0);
    m_files = new QComboBox(this);
    m_files->setObjectName(QStringLiteral("1505"));
    grid->addWidget(m_files, 3, 1);
    auto* play = new TexturedButton(1506, QStringLiteral("Play"), TexturedButton::Face::Add,
                                    scaleFactor, this);
    grid->addWidget(play, 4, 1, Qt::AlignRight);
    grid->setRowStretch(2, 1);

    connect(controlById<QCheckBox>(this, 1501), &QCheckBox::toggled, this,
            &SoundsPage::OpDzwiekiWlacz);
    connect(m_events, &QTreeWidget::currentItemChanged, this, &SoundsPage::OpDzwiekDoCombo);
    connect(m_files, &QComboBox::activated, this, &SoundsPage::OpComboDoDzwieku);
    connect(play, &QAbstractButton::clicked, this, &SoundsPage::TestujDzwiek);
}

void SoundsPage::load(const OptionsPages& pages) {
    m_files->clear();
    for (const std::u16string& file : pages.wavFiles) {
        m_files->addItem(qs(file));
    }
    for (int i = 0; i < kSoundEventCount; ++i) {
        m_events->topLevelItem(i)->setText(1, qs(pages.soundFiles[i]));
    }
    OpDzwiekiWlacz();
}

void SoundsPage::store(OptionsPages& pages) const {
    for (int i = 0; i < kSoundEventCount; ++i) {
        pages.soundFiles[i] = m_events->topLevelItem(i)->text(1).left(249).toStdU16String();
    }
}

void SoundsPage::shown() {
    m_events->setCurrentItem(m_events->topLevelItem(0));
    m_events->setFocus();
}

// The file list shows the chosen row's file: the first entry beginning with it.
void SoundsPage::OpDzwiekDoCombo() {
    const QTreeWidgetItem* row = m_events->currentItem();
    if (!row) {
        return;
    }
    const QString file = row->text(1);
    int entry = 0;
    if (!file.isEmpty()) {
        for (int i = 0; i < m_files->count(); ++i) {
            if (m_files->itemText(i).startsWith(file, Qt::CaseInsensitive)) {
                entry = i;
                break;
            }
        }
    }
    m_files->setCurrentIndex(m_files->count() > 0 ? entry : -1);
}

void SoundsPage::OpComboDoDzwieku() {
    if (QTreeWidgetItem* row = m_events->currentItem()) {
        row->setText(1, m_files->currentText());
    }
}

void SoundsPage::OpDzwiekiWlacz() {
    const bool on = controlById<QCheckBox>(this, 1501)->isChecked();
    for (int id : kControlIds) {
        controlById<QWidget>(this, id)->setEnabled(on);
    }
}

bool SoundsPage::TestujDzwiek() {
    const QString file = m_files->currentText();
    if (file.isEmpty()) {
        return false;
    }
    m_sound.playFileAsync(toUtf8(m_settings.CzytajInstallDir() + file.toStdU16String()));
    return true;
}

}  // namespace kolu
