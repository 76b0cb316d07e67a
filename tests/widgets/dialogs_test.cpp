// The dialogs as a user drives them: Options with its pages and colour editor,
// the background picture, and the shared prompts.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "commands/menu_commands.h"
#include "connection/server_logins.h"
#include "gui/background_picture.h"
#include "gui/prompt_dialogs.h"
#include "options/colour_field.h"
#include "options/colour_swatch.h"
#include "options/connection_page.h"
#include "options/files_page.h"
#include "options/info_page.h"
#include "options/options_dialog.h"
#include "options/quick_palette.h"
#include "options/screen_page.h"
#include "options/select_colour_dialog.h"
#include "options/server_dialog.h"
#include "options/server_login_page.h"
#include "options/sounds_page.h"
#include "options/view_page.h"
#include "tests/support/file_size_limit.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

class OptionsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.settings.install();
        env.settings.settings.RegTworzKlucz();
        env.settings.write("servers.txt", "Net\tirc.net\t6667\t\r\n");
        env.settings.write("ping.wav", "RIFF");
    }
    std::string file(const std::string& name) { return env.settings.read(name); }
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

TEST_F(OptionsDialogTest, FlushNeedsAYesDelASelectionAndOneChangeOnEachPageSurvivesOk) {
    env.settings.settings.RegZapiszMsg(u"ignore", u"alice bob ", kSpecialListSize);
    env.session.dictionary.DbTworzSlownik(0);
    env.session.dictionary.DbDodajSlowo(u"remembered");
    const std::string taught = file("dict.dat");
    auto dialog = open();
    auto* files = static_cast<FilesPage*>(dialog->page(OptionsDialog::kFiles));
    test::answerMessageBox(QMessageBox::No);
    files->flush();
    EXPECT_EQ(file("dict.dat"), taught);
    test::answerMessageBox(QMessageBox::Yes);
    files->flush();
    EXPECT_LT(file("dict.dat").size(), taught.size());
    auto* info = static_cast<InfoPage*>(dialog->page(OptionsDialog::kInfo));
    QComboBox* ignores = info->listBox(0);
    ignores->setCurrentIndex(-1);
    auto asked = test::answerMessageBox(QMessageBox::Yes);
    info->deleteEntry();
    QTest::qWait(20);
    EXPECT_FALSE(*asked) << "nothing selected: Del asks nothing";
    // The watcher above may still be waiting: either answers this question.
    ignores->setCurrentIndex(1);
    test::answerMessageBox(QMessageBox::Yes);
    info->deleteEntry();
    EXPECT_EQ(info->entries(0), std::vector<std::u16string>{u"alice"});

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
    info->subPages()->setCurrentIndex(2);
    controlById<QAbstractButton>(info, 1609)->click();
    choose(files->whisperCount(), QStringLiteral("4"));
    QTest::keyClick(control<QLineEdit>(*dialog, 1110), Qt::Key_Return);  // Enter in a field is OK
    auto again = open();
    EXPECT_EQ(control<QLineEdit>(*again, 1110)->text().toStdString(), "renamed");
    EXPECT_TRUE(control<QCheckBox>(*again, 1202)->isChecked());
    EXPECT_EQ(static_cast<ViewPage*>(again->page(OptionsDialog::kView))->fonts(), 0x29);
    EXPECT_TRUE(control<QRadioButton>(*again, 1408)->isChecked());
    EXPECT_EQ(control<QSlider>(*again, 1403)->value(), 3);
    EXPECT_EQ(control<QLabel>(*again, 1404)->text().toStdString(), "Blend: 30%");
    auto* rows = static_cast<SoundsPage*>(again->page(OptionsDialog::kSounds))->events();
    EXPECT_EQ(rows->topLevelItem(2)->text(1).toStdString(), "ping.wav");
    EXPECT_EQ(control<QComboBox>(*again, 1616)->itemText(0).toStdString(), "watched");
    EXPECT_EQ(control<QComboBox>(*again, 1712)->currentText().toStdString(), "4");
}

// Swatches, the palette and More colours change only the working table, and adding to an
// emptied server list shows the new server. A failed save keeps the dialog open; Escape then
// rejects as the close button does (the dialog leaves that to QDialog).
TEST_F(OptionsDialogTest, ColourAndServerChangesStayInTheDialogUntilASaveSucceeds) {
    auto dialog = open();
    auto* view = static_cast<ViewPage*>(dialog->page(OptionsDialog::kView));
    dialog->pageTabs()->setCurrentIndex(OptionsDialog::kView);
    // A swatch toggles the palette and a tap on the list closes it.
    QTest::mouseClick(view->backgroundSwatch(), Qt::LeftButton);
    EXPECT_TRUE(view->palette()->isVisible());
    QTest::mouseClick(view->backgroundSwatch(), Qt::LeftButton);
    EXPECT_FALSE(view->palette()->isVisible());
    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    QListWidget* classes = view->list(ViewPage::kLineClassList);
    QTest::mouseClick(classes->viewport(), Qt::LeftButton, {},
                      classes->visualItemRect(classes->item(3)).center());
    EXPECT_FALSE(view->palette()->isVisible());
    EXPECT_EQ(view->editor().textSlot(), kFirstLineClass + 3);
    EXPECT_TRUE(classes->selectedItems().isEmpty()) << "no selection bar over a colour";

    classes->setCurrentRow(9);  // Notice
    const ColourArray before = view->editor().table();
    for (const bool accept : {false, true}) {
        QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
        test::whenModal<SelectColourDialog>([accept](SelectColourDialog* select) {
            // Column 8 is pure green; shade 15 keeps 255 - 31 * 8 of it.
            QTest::mouseClick(select->field(), Qt::LeftButton, {}, QPoint(8 * 8 + 3, 3));
            QTest::mouseClick(select->shades(), Qt::LeftButton, {}, QPoint(5, 15 * 8 + 4));
            accept ? select->acceptButton()->click() : select->reject();
        });
        controlById<QToolButton>(view->palette(), QuickPalette::kMoreColoursId)->click();
        if (!accept) {
            EXPECT_EQ(view->editor().table(), before);
        }
    }
    EXPECT_EQ(view->editor().table()[kFirstLineClass + 9], rgb(0, 7, 0));
    EXPECT_EQ(view->textSwatch()->colour(), rgb(0, 7, 0));

    view->list(ViewPage::kUserListColours)->setCurrentRow(0);  // Operator on the list's background
    QTest::mouseClick(view->backgroundSwatch(), Qt::LeftButton);
    controlById<QToolButton>(view->palette(), QuickPalette::kFirstButtonId + 5)->click();  // cyan
    EXPECT_EQ(view->editor().table()[kUserListBackground], 0xFFFF00u);
    EXPECT_EQ(view->list(ViewPage::kUserListColours)->palette().color(QPalette::Base),
              QColor(0, 255, 255));
    controlById<QAbstractButton>(view, 1311)->click();  // Default
    EXPECT_EQ(view->editor().table(), test::defaultColours().entries());

    // A background picture takes the place of the background colours.
    auto* screen = static_cast<ScreenPage*>(dialog->page(OptionsDialog::kScreen));
    EXPECT_FALSE(controlById<QWidget>(screen, 1402)->isEnabled());
    controlById<QCheckBox>(screen, 1401)->click();
    EXPECT_TRUE(controlById<QWidget>(screen, 1402)->isEnabled());
    EXPECT_FALSE(view->backgroundSwatch()->isEnabled());
    auto* connection = static_cast<ConnectionPage*>(dialog->page(OptionsDialog::kConnection));
    test::answerMessageBox(QMessageBox::Yes);
    connection->deleteServer();
    EXPECT_EQ(connection->servers()->count(), 0);
    test::whenModal<ServerDialog>([](ServerDialog* server) {
        server->networkField()->setText(QStringLiteral("Home"));
        server->serverField()->setText(QStringLiteral("127.0.0.1"));
        server->portsField()->setText(QStringLiteral("6667"));
        server->okButton()->click();
    });
    connection->addServer();
    EXPECT_EQ(connection->servers()->currentText().toStdString(), "127.0.0.1");
    {
        test::FileSizeLimit full(64);
        ASSERT_TRUE(full.set());
        dialog->accept();
    }
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(env.host.messageBoxes.size(), 1u);
    EXPECT_EQ(env.host.messageBoxes[0].title, u"Error!");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

// The dialog fits `room` with every shown child inside it and every caption whole.
void expectFits(const QDialog& dialog, QSize room) {
    EXPECT_LE(dialog.width(), room.width());
    EXPECT_LE(dialog.height(), room.height());
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        const QRect place(child->mapTo(&dialog, QPoint(0, 0)), child->size());
        EXPECT_TRUE(!child->isVisible() || dialog.rect().contains(place))
            << child->metaObject()->className();
        if (const auto* label = qobject_cast<const QLabel*>(child)) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        }
    }
}

SaslLogin plainLogin(std::u16string account, std::u16string password) {
    return SaslLogin{u"PLAIN", std::move(account), std::move(password), "", "", false};
}

TEST_F(OptionsDialogTest,
       TheServerDialogsAccountPageFitsTheHandheldAndEnablesWhatItsMechanismUses) {
    ServerLogins logins(env.settings.dir.file(ServerLogins::kFileName));
    const SaslLogin external{u"EXTERNAL", u"me", u"", "/c.pem", "/k.pem", true};
    ASSERT_EQ(logins.set(u"old.net", external), 0);
    ServerRecord record{u"Old", u"old.net", u"6667", u""};
    ServerDialog dialog(record, nullptr, &logins);
    ServerLoginPage* page = dialog.loginPage();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->login(), external);

    dialog.resize(240, dialog.sizeHint().height());
    dialog.show();
    expectFits(dialog, QSize(240, 320));  // the TLS note among its captions
    auto* pages = dialog.findChild<QTabWidget*>();
    pages->setCurrentIndex(1);
    // The page scrolls down; across, every control is whole, and each one named.
    for (const QWidget* child : page->findChildren<QWidget*>()) {
        SCOPED_TRACE(child->metaObject()->className());
        const int left = child->mapTo(&dialog, QPoint(0, 0)).x();
        EXPECT_TRUE(!child->isVisible() || (left >= 0 && left + child->width() <= dialog.width()));
        EXPECT_TRUE(qobject_cast<const QLabel*>(child) || child->focusPolicy() == Qt::NoFocus ||
                    !child->accessibleName().isEmpty());
    }
    EXPECT_EQ(page->accountField()->maxLength(), 100);
    EXPECT_EQ(page->passwordField()->maxLength(), 300);
    EXPECT_EQ(page->certificateField()->maxLength(), 500);
    EXPECT_EQ(page->keyField()->maxLength(), 500);
    EXPECT_EQ(page->passwordField()->echoMode(), QLineEdit::Password);

    struct Enabled {
        const char* mechanism;
        bool account, password, files, required;
    };
    for (const Enabled& row :
         {Enabled{"None", false, false, false, false}, Enabled{"PLAIN", true, true, false, true},
          Enabled{"SCRAM-SHA-256", true, true, false, true},
          Enabled{"EXTERNAL", true, false, true, true}}) {
        page->mechanismBox()->setCurrentText(QString::fromLatin1(row.mechanism));
        SCOPED_TRACE(row.mechanism);
        EXPECT_EQ(page->accountField()->isEnabled(), row.account);
        EXPECT_EQ(page->passwordField()->isEnabled(), row.password);
        for (QWidget* file :
             std::initializer_list<QWidget*>{page->certificateField(), page->keyField(),
                                             page->certificateBrowse(), page->keyBrowse()}) {
            EXPECT_EQ(file->isEnabled(), row.files);
        }
        EXPECT_EQ(page->requiredBox()->isEnabled(), row.required);
    }
    // What the mechanism does not use is not kept.
    page->mechanismBox()->setCurrentText(QStringLiteral("PLAIN"));
    page->passwordField()->setText(QStringLiteral("pw"));
    EXPECT_EQ(page->login(), (SaslLogin{u"PLAIN", u"me", u"pw", "", "", true}));
}

// Missing ports, then a login that can't be written: each keeps the dialog and the record.
TEST_F(OptionsDialogTest, TheServerDialogChangesItsRecordOnlyWhenItsFieldsAndLoginCanBeKept) {
    ServerLogins logins(env.settings.dir.file(ServerLogins::kFileName));
    ASSERT_EQ(logins.set(u"old.net", plainLogin(u"me", u"pw")), 0);
    ServerRecord record{u"Old", u"old.net", u"6667", u""};
    ServerDialog dialog(record, nullptr, &logins);
    dialog.show();
    dialog.networkField()->setText(QStringLiteral("New"));
    dialog.loginPage()->accountField()->setText(QStringLiteral("you"));
    for (const bool portsMissing : {true, false}) {
        SCOPED_TRACE(portsMissing ? "no ports" : "no room for the login");
        dialog.portsField()->setText(portsMissing ? QString() : QStringLiteral("7000"));
        std::optional<test::FileSizeLimit> full;
        if (!portsMissing) {
            ASSERT_TRUE(full.emplace(8).set());
        }
        const auto warned = test::answerMessageBox(QMessageBox::Ok);
        dialog.okButton()->click();
        EXPECT_TRUE(*warned);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(record, (ServerRecord{u"Old", u"old.net", u"6667", u""}));
    }
    dialog.okButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(record, (ServerRecord{u"New", u"old.net", u"7000", u""}));
}

// The login follows its server through the Options dialog; servers.txt never changes form.
TEST_F(OptionsDialogTest, ServerLoginsAreSavedByTheServerDialogsOkAndFollowRenamesAndDeletes) {
    const std::string servers = file("servers.txt");
    ServerLogins logins(env.settings.dir.file(ServerLogins::kFileName));
    auto connection = [](const OptionsDialog& dialog) {
        return static_cast<ConnectionPage*>(dialog.page(OptionsDialog::kConnection));
    };
    auto edit = [&](const OptionsDialog& dialog, bool ok,
                    std::function<void(ServerDialog*)> change) {
        test::whenModal<ServerDialog>([change, ok](ServerDialog* server) {
            change(server);
            ok ? server->okButton()->click() : server->reject();
        });
        connection(dialog)->editServer();
    };
    auto plainFor = [](const QString& account) {
        return [account](ServerDialog* server) {
            ServerLoginPage* page = server->loginPage();
            page->mechanismBox()->setCurrentText(QStringLiteral("PLAIN"));
            page->accountField()->setText(account);
            page->passwordField()->setText(QStringLiteral("pw\tx"));
        };
    };
    {
        auto dialog = open();
        edit(*dialog, false, plainFor(QStringLiteral("cancelled")));
        EXPECT_FALSE(fileExists(logins.path()));
        edit(*dialog, true, plainFor(QStringLiteral("me")));
        EXPECT_EQ(logins.find(u"irc.net"), plainLogin(u"me", u"pw\tx"));
        dialog->accept();
    }
    EXPECT_EQ(file("servers.txt"), servers);

    // A rename moves the login; the old host's goes once the list is saved.
    {
        auto dialog = open();
        edit(*dialog, true, [](ServerDialog* server) {
            server->serverField()->setText(QStringLiteral("irc.new"));
        });
        EXPECT_EQ(logins.find(u"irc.new"), plainLogin(u"me", u"pw\tx"));
        EXPECT_EQ(logins.find(u"irc.net"), plainLogin(u"me", u"pw\tx"));
        dialog->accept();
    }
    EXPECT_EQ(file("servers.txt"), "Net\tirc.new\t6667\t\r\n");
    EXPECT_EQ(logins.find(u"irc.net"), std::nullopt);

    // A deleted server's login stays while the list is not saved.
    for (const bool save : {false, true}) {
        auto dialog = open();
        test::answerMessageBox(QMessageBox::Yes);
        connection(*dialog)->deleteServer();
        ASSERT_EQ(connection(*dialog)->servers()->count(), 0);
        save ? dialog->accept() : dialog->reject();
        EXPECT_EQ(logins.find(u"irc.new").has_value(), !save);
    }
    EXPECT_EQ(file("servers.txt"), "");
}

// At scale 2 a cell is 16 pixels wide and high: its last pixel row and column are still its own.
// What a screen reader says for each control the keyboard reaches, on every page.
TEST_F(OptionsDialogTest, EveryControlTheKeyboardReachesHasAName) {
    std::unique_ptr<OptionsDialog> dialog = open();
    std::string unnamed;
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(control);
        if (control->focusPolicy() != Qt::NoFocus && !qobject_cast<QScrollArea*>(control) &&
            spoken && spoken->text(QAccessible::Name).trimmed().isEmpty()) {
            unnamed += " " + control->objectName().toStdString();
        }
    }
    EXPECT_EQ(unnamed, "");
}

TEST(SelectColour, ATapOnTheLastPixelsOfAScaledCellPicksThatCell) {
    SelectColourDialog select(0, 2);
    QTest::mouseClick(select.field(), Qt::LeftButton, {}, QPoint(3 * 16 + 15, 4 * 16 + 15));
    EXPECT_EQ(select.field()->selectedColumn(), 3);
    EXPECT_EQ(select.field()->selectedRow(), 4);
    QTest::mouseClick(select.shades(), Qt::LeftButton, {}, QPoint(47, 2 * 16 + 15));
    EXPECT_EQ(select.shades()->selectedCell(), 2);
}

// How a picture is blended is the main window's test, where Options applies one.
TEST(BackgroundPicture, RefusesWhatCantBeAPicture) {
    test::SettingsEnv env;
    QImage flat(4, 3, QImage::Format_RGB32);
    flat.fill(QColor(100, 0, 200));
    // A header that claims 30000 x 30000 pixels, and bytes that are no picture.
    ASSERT_TRUE(flat.save(QString::fromStdString(env.dir.file("p.bmp")), "BMP"));
    std::string huge = env.read("p.bmp");
    for (int i = 0; i < 4; ++i) {
        huge[18 + i] = huge[22 + i] = static_cast<char>((30000 >> (8 * i)) & 0xFF);
    }
    env.write("huge.bmp", huge);
    env.write("junk.bmp", "not a picture at all");
    for (const char* name : {"huge.bmp", "junk.bmp", "missing.bmp"}) {
        EXPECT_TRUE(WczytajTlo(QString::fromStdString(env.dir.file(name)), 3, env.log).isNull())
            << name;
    }
}

// Each prompt fits the narrow window. OK waits for every field it needs, Escape cancels, and an
// answer is one less than its field of 250 takes, but for the first of two.
TEST(PromptDialogs, QtPromptsRunTheDialogsModallyFittedWithTheLimitsOfTheirIds) {
    QWidget window;
    window.resize(240, 320);
    int hooked = 0;
    QtPrompts prompts(&window);
    prompts.setFieldHook([&](QDialog&, QLineEdit&) { ++hooked; });

    test::whenModal<OneFieldPrompt>([](OneFieldPrompt* dialog) {
        EXPECT_EQ(dialog->field()->maxLength(), 64);
        QTest::keyClick(dialog->field(), Qt::Key_Return);  // nothing to confirm yet
        QTest::keyClick(dialog->field(), Qt::Key_Escape);
    });
    EXPECT_EQ(
        prompts.promptOneField(kPromptFavoriteAdd, u"New favorite sentence", u"Enter a sentence:"),
        std::nullopt);
    test::whenModal<OneFieldPrompt>(
        [](OneFieldPrompt* dialog) { QTest::keyClick(dialog->field(), Qt::Key_Return); });
    EXPECT_EQ(prompts.promptOneField(kMenuQuit, u"Quit IRC", u"Enter a quit message:"),
              std::optional<std::u16string>(u""));
    test::whenModal<OneFieldPrompt>([&](OneFieldPrompt* dialog) {
        expectFits(*dialog, window.size());
        dialog->field()->setText(QString(300, u'w'));
        EXPECT_EQ(dialog->field()->text().size(), 250);
        QTest::keyClick(dialog->field(), Qt::Key_Return);
    });
    EXPECT_EQ(prompts.promptOneField(kMenuNames, u"List nicknames on channels",
                                     u"Enter channel(s) comma's separated:"),
              std::u16string(249, u'w'));
    test::whenModal<TwoFieldPrompt>([&](TwoFieldPrompt* dialog) {
        expectFits(*dialog, window.size());
        dialog->firstField()->setText(QString(300, u'n'));
        QTest::keyClick(dialog->firstField(), Qt::Key_Return);  // the topic is still missing
        dialog->secondField()->setText(QString(300, u'm'));
        QTest::keyClick(dialog->secondField(), Qt::Key_Return);
    });
    const auto both =
        prompts.promptTwoFields(kMenuTopic, u"Topic input", u"Enter channel:", u"Enter new topic:");
    EXPECT_EQ(both, std::make_optional(
                        std::make_pair(std::u16string(250, u'n'), std::u16string(249, u'm'))));
    EXPECT_EQ(hooked, 5);  // one field for each one-field prompt, two for the topic
    test::whenModal<PickFromListPrompt>([&](PickFromListPrompt* dialog) {
        expectFits(*dialog, window.size());
        QTest::keyClick(dialog->list(), Qt::Key_Return);  // nothing picked yet
        const QRect second = dialog->list()->visualItemRect(dialog->list()->item(1));
        QTest::mouseClick(dialog->list()->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseClick(dialog->removeButton(), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.pickFromList(kPickBanList, u"#c banlist", u"Select ban to remove:",
                                   {std::u16string(64, u'x'), u"*!*@b"}),
              std::optional<int>(1));
}

}  // namespace
}  // namespace kolu
