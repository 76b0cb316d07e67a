// The shared prompts: their texts, field limits, when OK and Remove may be
// pressed, Enter and Escape, the answers, that they fit a 240-pixel-wide window,
// and the Connect/Disconnect label.
#include "ui/widgets/prompt_dialogs.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "commands/menu_commands.h"
#include "tests/support/qt_app.h"
#include "ui/widgets/menu_labels.h"

namespace kolu {
namespace {

// Every visible child lies inside the dialog, and every caption has the height
// its wrapped text needs.
void expectShownWhole(const QDialog& dialog) {
    const QRect area = dialog.rect();
    for (const QWidget* child : dialog.findChildren<QWidget*>()) {
        if (!child->isVisible()) {
            continue;
        }
        const QRect place(child->mapTo(&dialog, QPoint(0, 0)), child->size());
        EXPECT_TRUE(area.contains(place))
            << child->metaObject()->className() << " at " << place.x() << "," << place.y() << " "
            << place.width() << "x" << place.height() << " outside " << area.width() << "x"
            << area.height();
        if (const auto* label = qobject_cast<const QLabel*>(child)) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                << label->text().toStdString();
        }
    }
}

class PromptDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
    void TearDown() override {
        // A dialog left open by a failed check must not block the next test.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
                dialog->reject();
            }
        }
    }

    // Runs `act` on the modal dialog of type D once it is open (the modal call
    // that opens it follows this one).
    template <typename D>
    void whenOpen(std::function<void(D&)> act) {
        QTimer::singleShot(0, [act] {
            auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
            if (!dialog) {
                ADD_FAILURE() << "no such dialog open";
                if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    other->reject();
                }
                return;
            }
            act(*dialog);
        });
    }
};

TEST_F(PromptDialogsTest, OneFieldOkWaitsForText) {
    OneFieldPrompt dialog("Join channel", "Enter channel to join:", 250, false);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Join channel"));
    EXPECT_EQ(dialog.promptLabel()->text(), QStringLiteral("Enter channel to join:"));
    EXPECT_EQ(dialog.field()->maxLength(), 250);
    EXPECT_EQ(dialog.okButton()->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("Cancel"));
    dialog.show();

    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.field(), Qt::Key_Return);  // nothing to confirm yet
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(dialog.field(), "#a");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.field(), Qt::Key_Backspace);
    QTest::keyClick(dialog.field(), Qt::Key_Backspace);
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClicks(dialog.field(), "#b");
    QTest::keyClick(dialog.field(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer(), u"#b");
}

TEST_F(PromptDialogsTest, QuitMessageMayBeEmptyAndEscapeCancels) {
    OneFieldPrompt quit("Quit IRC", "Enter a quit message:", 250, true);
    quit.show();
    EXPECT_TRUE(quit.okButton()->isEnabled());
    QTest::keyClicks(quit.field(), "x");
    QTest::keyClick(quit.field(), Qt::Key_Backspace);
    EXPECT_TRUE(quit.okButton()->isEnabled());
    QTest::keyClick(quit.field(), Qt::Key_Return);
    EXPECT_EQ(quit.result(), QDialog::Accepted);
    EXPECT_EQ(quit.answer(), u"");

    OneFieldPrompt join("Join channel", "Enter channel to join:", 250, false);
    join.show();
    QTest::keyClicks(join.field(), "#a");
    QTest::keyClick(join.field(), Qt::Key_Escape);
    EXPECT_FALSE(join.isVisible());
    EXPECT_EQ(join.result(), QDialog::Rejected);
}

TEST_F(PromptDialogsTest, FieldLimitsAndAnswerLength) {
    OneFieldPrompt favourite("New favorite sentence", "Enter a sentence:", 64, false);
    favourite.field()->setText(QString(80, u'f'));
    EXPECT_EQ(favourite.field()->text().size(), 64);
    EXPECT_EQ(favourite.answer(), std::u16string(64, u'f'));

    // The field takes 250 characters, the answer keeps 249.
    OneFieldPrompt whois("Whois input", "Enter nickname:", 250, false);
    whois.field()->setText(QString(300, u'w'));
    EXPECT_EQ(whois.field()->text().size(), 250);
    EXPECT_EQ(whois.answer(), std::u16string(249, u'w'));

    TwoFieldPrompt notice("Notice input", "Enter nickname:", "Enter message:", 250);
    notice.firstField()->setText(QString(300, u'n'));
    notice.secondField()->setText(QString(300, u'm'));
    EXPECT_EQ(notice.firstAnswer(), std::u16string(250, u'n'));
    EXPECT_EQ(notice.answer(), std::u16string(249, u'm'));
}

TEST_F(PromptDialogsTest, TwoFieldOkNeedsBothFields) {
    TwoFieldPrompt dialog("Kick input", "Enter channel:", "Enter nickname:", 250);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kick input"));
    EXPECT_EQ(dialog.firstLabel()->text(), QStringLiteral("Enter channel:"));
    EXPECT_EQ(dialog.secondLabel()->text(), QStringLiteral("Enter nickname:"));
    EXPECT_EQ(dialog.firstField()->maxLength(), 250);
    EXPECT_EQ(dialog.secondField()->maxLength(), 250);
    dialog.show();

    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClicks(dialog.firstField(), "#a");
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.firstField(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(dialog.secondField(), "bob");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    dialog.firstField()->clear();
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClicks(dialog.firstField(), "#c");
    QTest::keyClick(dialog.secondField(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.firstAnswer(), u"#c");
    EXPECT_EQ(dialog.answer(), u"bob");
}

TEST_F(PromptDialogsTest, PickFromListRemoveNeedsASelection) {
    PickFromListPrompt dialog(
        "#chan banlist", "Select ban to remove:",
        {QStringLiteral("*!*@a"), QStringLiteral("*!*@b"), QStringLiteral("*!*@c")});
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("#chan banlist"));
    EXPECT_EQ(dialog.captionLabel()->text(), QStringLiteral("Select ban to remove:"));
    EXPECT_EQ(dialog.removeButton()->text(), QStringLiteral("Remove"));
    ASSERT_EQ(dialog.list()->count(), 3);
    EXPECT_EQ(dialog.list()->item(1)->text(), QStringLiteral("*!*@b"));
    dialog.show();

    EXPECT_FALSE(dialog.removeButton()->isEnabled());
    EXPECT_EQ(dialog.pickedIndex(), -1);
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    const QRect second = dialog.list()->visualItemRect(dialog.list()->item(1));
    QTest::mouseClick(dialog.list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(dialog.removeButton()->isEnabled());
    EXPECT_EQ(dialog.pickedIndex(), 1);
    dialog.list()->clearSelection();
    EXPECT_FALSE(dialog.removeButton()->isEnabled());
    dialog.list()->item(2)->setSelected(true);
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.pickedIndex(), 2);
}

TEST_F(PromptDialogsTest, EveryPromptFitsANarrowWindow) {
    // The longest texts at scale 1 in a 240-pixel window and at scale 2 in a
    // 480-pixel one.
    for (int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        QWidget window;
        window.resize(240 * scale, 320 * scale);
        QFont font = window.font();
        font.setPixelSize(13 * scale);

        OneFieldPrompt one("List nicknames on channels", "Enter channel(s) comma's separated:", 250,
                           false, &window);
        TwoFieldPrompt two("Notice input", "Enter nickname:", "Enter message:", 250, &window);
        PickFromListPrompt pick(
            "Favorites list", "Select sentence to remove:",
            {QString(64, QChar(u'x')), QStringLiteral("hi all"), QStringLiteral("/join #a")},
            &window);
        one.setDialogFont(font);
        two.setDialogFont(font);
        pick.setDialogFont(font);
        for (QDialog* dialog : {static_cast<QDialog*>(&one), static_cast<QDialog*>(&two),
                                static_cast<QDialog*>(&pick)}) {
            SCOPED_TRACE(dialog->windowTitle().toStdString());
            fitPromptToWindow(*dialog, &window);
            dialog->show();
            EXPECT_LE(dialog->width(), window.width());
            EXPECT_LE(dialog->height(), window.height());
            expectShownWhole(*dialog);
            dialog->hide();
        }
    }
}

TEST_F(PromptDialogsTest, QtPromptsRunTheDialogsModally) {
    QWidget window;
    window.resize(240, 320);
    int hooked = 0;
    QtPrompts prompts(&window);
    prompts.setFieldHook([&](QDialog&, QLineEdit&) { ++hooked; });

    whenOpen<OneFieldPrompt>([](OneFieldPrompt& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Join channel"));
        EXPECT_EQ(dialog.field()->maxLength(), 250);
        EXPECT_LE(dialog.width(), 240);
        QTest::keyClicks(dialog.field(), "#a");
        QTest::keyClick(dialog.field(), Qt::Key_Return);
    });
    EXPECT_EQ(prompts.promptOneField(kMenuJoin, u"Join channel", u"Enter channel to join:"),
              std::optional<std::u16string>(u"#a"));

    // The favourite field's limit and the quit message's empty answer come from the id.
    whenOpen<OneFieldPrompt>([](OneFieldPrompt& dialog) {
        EXPECT_EQ(dialog.field()->maxLength(), 64);
        EXPECT_FALSE(dialog.okButton()->isEnabled());
        dialog.reject();
    });
    EXPECT_EQ(
        prompts.promptOneField(kPromptFavoriteAdd, u"New favorite sentence", u"Enter a sentence:"),
        std::nullopt);
    whenOpen<OneFieldPrompt>(
        [](OneFieldPrompt& dialog) { QTest::keyClick(dialog.field(), Qt::Key_Return); });
    EXPECT_EQ(prompts.promptOneField(kMenuQuit, u"Quit IRC", u"Enter a quit message:"),
              std::optional<std::u16string>(u""));

    whenOpen<TwoFieldPrompt>([](TwoFieldPrompt& dialog) {
        EXPECT_EQ(dialog.secondLabel()->text(), QStringLiteral("Enter new topic:"));
        QTest::keyClicks(dialog.firstField(), "#a");
        QTest::keyClicks(dialog.secondField(), "new topic");
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    });
    const auto both =
        prompts.promptTwoFields(kMenuTopic, u"Topic input", u"Enter channel:", u"Enter new topic:");
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->first, u"#a");
    EXPECT_EQ(both->second, u"new topic");
    EXPECT_EQ(hooked, 5);  // one field each for 40101, 40298, 40109; two for 40110

    whenOpen<PickFromListPrompt>([](PickFromListPrompt& dialog) {
        EXPECT_EQ(dialog.list()->count(), 2);
        dialog.list()->item(1)->setSelected(true);
        QTest::mouseClick(dialog.removeButton(), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.pickFromList(kPickBanList, u"#c banlist", u"Select ban to remove:",
                                   {u"*!*@a", u"*!*@b"}),
              std::optional<int>(1));
    whenOpen<PickFromListPrompt>([](PickFromListPrompt& dialog) {
        dialog.list()->item(0)->setSelected(true);
        QTest::keyClick(dialog.list(), Qt::Key_Escape);
    });
    EXPECT_EQ(prompts.pickFromList(kPickFavoriteRemove, u"Favorites list",
                                   u"Select sentence to remove:", {u"hi"}),
              std::nullopt);
}

TEST_F(PromptDialogsTest, ConnectLabelFollowsTheConnection) {
    QMenuBar bar;
    QMenu* file = bar.addMenu(QStringLiteral("File"));
    QAction* connect = file->addAction(QStringLiteral("Connect"));
    connect->setData(kMenuConnect);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("Exit"));
    exit->setData(40010);

    EXPECT_EQ(findMenuItem(&bar, kMenuConnect), connect);
    EXPECT_EQ(findMenuItem(&bar, 40010), exit);
    EXPECT_EQ(findMenuItem(&bar, 40101), nullptr);

    EXPECT_TRUE(ZmienMenuPolaczony(&bar));
    EXPECT_EQ(connect->text(), QStringLiteral("Disconnect"));
    EXPECT_FALSE(ZmienMenuPolaczony(&bar));  // already shows it: unchanged
    EXPECT_EQ(connect->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(ZmienMenuRozlaczony(file));  // the popup itself works as well
    EXPECT_EQ(connect->text(), QStringLiteral("Connect"));

    EXPECT_FALSE(ZmienMenu(&bar, 40010, u"Quit", u"Leave"));  // text differs
    EXPECT_EQ(exit->text(), QStringLiteral("Exit"));
    EXPECT_FALSE(ZmienMenu(&bar, 40777, u"Exit", u"Leave"));  // no such item
}

}  // namespace
}  // namespace kolu
