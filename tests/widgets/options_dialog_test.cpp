// The options dialog as a user drives it: every page's change survives OK and a
// reopening, Cancel writes nothing, and the list and server editing rules hold.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "options/connection_page.h"
#include "options/files_page.h"
#include "options/info_page.h"
#include "options/options_dialog.h"
#include "options/server_dialog.h"
#include "options/sounds_page.h"
#include "options/view_page.h"
#include "platform/files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/modal.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

class OptionsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        env.settings.install();
        env.settings.settings.RegTworzKlucz();
        writeServers("Net\tirc.net\t6667\t\r\n");
        writeFileAtomically(env.settings.dir.file("ping.wav"), "RIFF");
    }
    void writeServers(const std::string& text) {
        writeFileAtomically(env.settings.dir.file("servers.txt"), text, 0600);
    }
    std::string file(const std::string& name) {
        std::string bytes;
        readWholeFile(env.settings.dir.file(name), bytes);
        return bytes;
    }
    std::unique_ptr<OptionsDialog> open() {
        test::SettingsEnv& s = env.settings;
        auto dialog = std::make_unique<OptionsDialog>(
            OptionsDialogServices{ServerListServices{s.settings, s.log, s.clock, s.random},
                                  env.sound, env.session.dictionary, env.host},
            1);
        dialog->show();
        return dialog;
    }
    template <typename T>
    static T* control(const OptionsDialog& dialog, int id) {
        T* found = controlById<T>(&dialog, id);
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
    static void choose(QComboBox* box, const QString& text) {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    test::SessionEnv env;
};

TEST_F(OptionsDialogTest, OneChangeOnEachPageSurvivesOkAndReopening) {
    auto dialog = open();
    control<QLineEdit>(*dialog, 1110)->setText(QStringLiteral("renamed"));
    control<QCheckBox>(*dialog, 1202)->click();
    auto* view = static_cast<ViewPage*>(dialog->page(OptionsDialog::kView));
    view->list(ViewPage::kUserListColours)->setCurrentRow(1);
    choose(view->sizes(), QStringLiteral("20"));  // the user list's size: index 9
    control<QRadioButton>(*dialog, 1408)->click();
    control<QSlider>(*dialog, 1403)->setValue(3);
    auto* sounds = static_cast<SoundsPage*>(dialog->page(OptionsDialog::kSounds));
    sounds->events()->setCurrentItem(sounds->events()->topLevelItem(2));  // Query
    choose(sounds->files(), QStringLiteral("ping.wav"));
    controlById<QAbstractButton>(sounds, 1506)->click();  // Play
    EXPECT_EQ(env.sound.played, std::vector<std::string>{env.settings.dir.file("ping.wav")});
    env.host.textAnswers.push_back(u"watched");
    dialog->pageTabs()->setCurrentIndex(OptionsDialog::kInfo);
    auto* info = static_cast<InfoPage*>(dialog->page(OptionsDialog::kInfo));
    info->subPages()->setCurrentIndex(2);
    controlById<QAbstractButton>(info, 1609)->click();
    choose(static_cast<FilesPage*>(dialog->page(OptionsDialog::kFiles))->whisperCount(),
           QStringLiteral("4"));
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(env.host.messageBoxes.empty());

    auto again = open();
    EXPECT_EQ(control<QLineEdit>(*again, 1110)->text().toStdString(), "renamed");
    EXPECT_EQ(control<QLineEdit>(*again, 1114)->text().toStdString(), "Marvoline Kolu v1.3");
    EXPECT_TRUE(control<QCheckBox>(*again, 1202)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*again, 1201)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*again, 1209)->isChecked());
    EXPECT_EQ(static_cast<ViewPage*>(again->page(OptionsDialog::kView))->fonts(), 0x29);
    EXPECT_TRUE(control<QRadioButton>(*again, 1408)->isChecked());
    EXPECT_EQ(control<QSlider>(*again, 1403)->value(), 3);
    EXPECT_EQ(control<QLabel>(*again, 1404)->text().toStdString(), "Blend: 30%");
    auto* rows = static_cast<SoundsPage*>(again->page(OptionsDialog::kSounds))->events();
    EXPECT_EQ(rows->topLevelItem(2)->text(1).toStdString(), "ping.wav");
    EXPECT_EQ(rows->topLevelItem(0)->text(1).toStdString(), "join.wav");
    EXPECT_EQ(control<QComboBox>(*again, 1616)->itemText(0).toStdString(), "watched");
    EXPECT_EQ(control<QComboBox>(*again, 1712)->currentText().toStdString(), "4");
    EXPECT_EQ(control<QComboBox>(*again, 1103)->currentText().toStdString(), "irc.net");
    std::vector<registry_format::ParsedKey> keys;
    EXPECT_TRUE(registry_format::parse(file("registry"), keys));
}

TEST_F(OptionsDialogTest, CancelAndTheCloseButtonWriteNothing) {
    const std::string settings = file("registry");
    const std::string servers = file("servers.txt");
    for (bool closeButton : {false, true}) {
        auto dialog = open();
        control<QLineEdit>(*dialog, 1110)->setText(QStringLiteral("discarded"));
        control<QCheckBox>(*dialog, 1701)->click();
        auto* connection = static_cast<ConnectionPage*>(dialog->page(OptionsDialog::kConnection));
        test::answerMessageBox(QMessageBox::Yes);
        connection->deleteServer();
        EXPECT_EQ(connection->servers()->count(), 0);
        if (closeButton) {
            dialog->close();
        } else {
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        }
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(file("registry"), settings);
        EXPECT_EQ(file("servers.txt"), servers);
    }
}

TEST_F(OptionsDialogTest, SpecialListsRefuseDuplicatesAndDelNeedsASelection) {
    env.settings.settings.RegZapiszMsg(u"ignore", u"alice ", kSpecialListSize);
    auto dialog = open();
    auto* info = static_cast<InfoPage*>(dialog->page(OptionsDialog::kInfo));
    QComboBox* ignores = info->listBox(0);
    ASSERT_EQ(ignores->count(), 1);
    env.host.textAnswers = {u"bob", u"ALICE"};
    info->addEntry();
    EXPECT_EQ(ignores->currentIndex(), 1);
    info->addEntry();
    EXPECT_EQ(ignores->count(), 2);
    EXPECT_EQ(ignores->currentIndex(), 0);
    ASSERT_EQ(env.host.prompts.size(), 2u);
    EXPECT_EQ(env.host.prompts[0].title, u"Add to ignore list");

    // Nothing selected: Del asks nothing.
    ignores->setCurrentIndex(-1);
    auto asked = test::answerMessageBox(QMessageBox::Yes);
    info->deleteEntry();
    QTest::qWait(20);
    EXPECT_FALSE(*asked);
    EXPECT_EQ(ignores->count(), 2);

    // With one, the question's Yes deletes it. (Either watcher may answer: the
    // one above may still be waiting.)
    ignores->setCurrentIndex(1);
    test::answerMessageBox(QMessageBox::Yes);
    info->deleteEntry();
    EXPECT_EQ(info->entries(0), std::vector<std::u16string>{u"alice"});
}

TEST_F(OptionsDialogTest, TheServerDialogRefusesOkWithoutNetworkServerAndPorts) {
    ServerRecord record{u"Old", u"old.net", u"6667", u""};
    ServerDialog dialog(record);
    EXPECT_EQ(dialog.passwordField()->echoMode(), QLineEdit::Password);
    dialog.networkField()->setText(QStringLiteral("New"));
    dialog.portsField()->clear();
    dialog.show();
    const auto warned = test::answerMessageBox(QMessageBox::Ok);
    dialog.okButton()->click();
    EXPECT_TRUE(*warned);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(record.network, u"Old");

    dialog.portsField()->setText(QStringLiteral("7000"));
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(record, (ServerRecord{u"New", u"old.net", u"7000", u""}));
}

TEST_F(OptionsDialogTest, TheServerDialogShowsItsTlsNoteWholeAtTheHandheldsWidth) {
    ServerRecord record{u"Libera.Chat", u"irc.libera.chat", u"6665-6667,+6697", u""};
    ServerDialog dialog(record);
    dialog.resize(240, dialog.sizeHint().height());
    dialog.show();
    QLabel* note = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        note = label->text().contains(QStringLiteral("+6697")) ? label : note;
    }
    ASSERT_NE(note, nullptr);
    EXPECT_LE(dialog.minimumSizeHint().width(), 240);
    EXPECT_GE(note->height(), note->heightForWidth(note->width()));
}

TEST_F(OptionsDialogTest, AddingToAnEmptyListShowsTheNewServer) {
    writeServers("");
    auto dialog = open();
    auto* connection = static_cast<ConnectionPage*>(dialog->page(OptionsDialog::kConnection));
    EXPECT_EQ(connection->networks()->count(), 0);
    test::whenModal<ServerDialog>([](ServerDialog* server) {
        server->networkField()->setText(QStringLiteral("Home"));
        server->serverField()->setText(QStringLiteral("127.0.0.1"));
        server->portsField()->setText(QStringLiteral("6667"));
        server->okButton()->click();
    });
    connection->addServer();
    EXPECT_EQ(connection->networks()->currentText().toStdString(), "Home");
    EXPECT_EQ(connection->servers()->currentText().toStdString(), "127.0.0.1");
    dialog->accept();
    EXPECT_EQ(file("servers.txt"), "Home\t127.0.0.1\t6667\t\r\n");
}

TEST_F(OptionsDialogTest, WhisperCountShowsItsEntryAndAFailedSaveKeepsTheDialogOpen) {
    env.settings.settings.RegZapiszLONG(u"whspmax", 5);
    auto dialog = open();
    EXPECT_EQ(control<QComboBox>(*dialog, 1712)->currentText().toStdString(), "5");
    const std::string settings = file("registry");
    control<QLineEdit>(*dialog, 1110)->setText(QStringLiteral("unsaved"));
    {
        test::FileSizeLimit full(64);
        ASSERT_TRUE(full.set());
        dialog->accept();
    }
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(env.host.messageBoxes.size(), 1u);
    EXPECT_EQ(env.host.messageBoxes[0].title, u"Error!");
    EXPECT_EQ(file("registry"), settings);
}

TEST_F(OptionsDialogTest, KeyboardSwitchesPagesAndEnterIsOk) {
    auto dialog = open();
    dialog->activateWindow();
    QLineEdit* nick = control<QLineEdit>(*dialog, 1110);
    nick->setFocus();
    QTest::keyClick(nick, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(dialog->pageTabs()->currentIndex(), OptionsDialog::kOptions);
    dialog->pageTabs()->setCurrentIndex(OptionsDialog::kConnection);
    nick->setText(QStringLiteral("entered"));
    QTest::keyClick(nick, Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    std::u16string stored;
    env.settings.settings.RegCzytajMsg(u"nick", stored, 120);
    EXPECT_EQ(stored, u"entered");
}

TEST_F(OptionsDialogTest, RealVgaPreviewsDropTheScaleFactor) {
    test::SettingsEnv& s = env.settings;
    OptionsDialog dialog(
        OptionsDialogServices{ServerListServices{s.settings, s.log, s.clock, s.random}, env.sound,
                              env.session.dictionary, env.host},
        2);
    auto* view = static_cast<ViewPage*>(dialog.page(OptionsDialog::kView));
    const int qvga = view->list(ViewPage::kLineClassList)->font().pixelSize();
    EXPECT_EQ(qvga, 13 * 2);  // Fonts 34: index 2 for both lists
    controlById<QRadioButton>(&dialog, 1408)->click();
    EXPECT_EQ(view->list(ViewPage::kLineClassList)->font().pixelSize(), qvga / 2);
    EXPECT_EQ(view->list(ViewPage::kUserListColours)->font().pixelSize(), qvga / 2);
}

TEST_F(OptionsDialogTest, FlushEmptiesTheDictionaryOnlyWhenConfirmed) {
    env.session.dictionary.DbTworzSlownik(0);
    env.session.dictionary.DbDodajSlowo(u"remembered");
    const std::string taught = file("dict.dat");
    auto dialog = open();
    auto* files = static_cast<FilesPage*>(dialog->page(OptionsDialog::kFiles));
    auto asked = test::answerMessageBox(QMessageBox::No);
    files->flush();
    EXPECT_TRUE(*asked);
    EXPECT_EQ(file("dict.dat"), taught);
    asked = test::answerMessageBox(QMessageBox::Yes);
    files->flush();
    EXPECT_TRUE(*asked);
    EXPECT_LT(file("dict.dat").size(), taught.size());
}

}  // namespace
}  // namespace kolu
