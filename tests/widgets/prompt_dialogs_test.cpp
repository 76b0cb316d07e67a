// The shared prompts: when OK and Remove may be pressed, Enter and Escape, the
// answers and their limits, and that they fit a 240-pixel-wide window.
#include "ui/widgets/prompt_dialogs.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "commands/menu_commands.h"
#include "tests/support/modal.h"
#include "tests/support/qt_app.h"

namespace kolu {
namespace {

class PromptDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

TEST_F(PromptDialogsTest, OneFieldOkWaitsForTextAndEscapeCancels) {
    OneFieldPrompt dialog("Join channel", "Enter channel to join:", 250, false);
    dialog.show();
    EXPECT_FALSE(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.field(), Qt::Key_Return);  // nothing to confirm yet
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClicks(dialog.field(), "#b");
    EXPECT_TRUE(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.field(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.answer(), u"#b");

    dialog.show();
    QTest::keyClick(dialog.field(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(PromptDialogsTest, FieldsTakeTheirLimitAndAnswersOneLess) {
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
    dialog.show();
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
    PickFromListPrompt dialog("#chan banlist", "Select ban to remove:",
                              {QStringLiteral("*!*@a"), QStringLiteral("*!*@b")});
    dialog.show();
    EXPECT_FALSE(dialog.removeButton()->isEnabled());
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    const QRect second = dialog.list()->visualItemRect(dialog.list()->item(1));
    QTest::mouseClick(dialog.list()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_TRUE(dialog.removeButton()->isEnabled());
    dialog.list()->clearSelection();
    EXPECT_FALSE(dialog.removeButton()->isEnabled());
    dialog.list()->item(1)->setSelected(true);
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.pickedIndex(), 1);
}

TEST_F(PromptDialogsTest, EveryPromptFitsANarrowWindowWithItsCaptionsWhole) {
    QWidget window;
    window.resize(240, 320);
    OneFieldPrompt one("List nicknames on channels", "Enter channel(s) comma's separated:", 250,
                       false, &window);
    TwoFieldPrompt two("Notice input", "Enter nickname:", "Enter message:", 250, &window);
    PickFromListPrompt pick("Favorites list", "Select sentence to remove:",
                            {QString(64, QChar(u'x')), QStringLiteral("hi all")}, &window);
    for (QDialog* dialog :
         {static_cast<QDialog*>(&one), static_cast<QDialog*>(&two), static_cast<QDialog*>(&pick)}) {
        SCOPED_TRACE(dialog->windowTitle().toStdString());
        fitPromptToWindow(*dialog, &window);
        dialog->show();
        EXPECT_LE(dialog->height(), window.height());
        for (const QWidget* child : dialog->findChildren<QWidget*>()) {
            if (!child->isVisible()) {
                continue;
            }
            const QRect place(child->mapTo(dialog, QPoint(0, 0)), child->size());
            EXPECT_TRUE(dialog->rect().contains(place)) << child->metaObject()->className();
            if (const auto* label = qobject_cast<const QLabel*>(child)) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            }
        }
    }
}

TEST_F(PromptDialogsTest, QtPromptsRunTheDialogsModallyWithTheLimitsOfTheirIds) {
    QWidget window;
    window.resize(240, 320);
    int hooked = 0;
    QtPrompts prompts(&window);
    prompts.setFieldHook([&](QDialog&, QLineEdit&) { ++hooked; });

    test::whenModal<OneFieldPrompt>([](OneFieldPrompt* dialog) {
        EXPECT_LE(dialog->width(), 240);
        EXPECT_EQ(dialog->field()->maxLength(), 64);
        dialog->reject();
    });
    EXPECT_EQ(
        prompts.promptOneField(kPromptFavoriteAdd, u"New favorite sentence", u"Enter a sentence:"),
        std::nullopt);
    test::whenModal<OneFieldPrompt>(
        [](OneFieldPrompt* dialog) { QTest::keyClick(dialog->field(), Qt::Key_Return); });
    EXPECT_EQ(prompts.promptOneField(kMenuQuit, u"Quit IRC", u"Enter a quit message:"),
              std::optional<std::u16string>(u""));
    test::whenModal<TwoFieldPrompt>([](TwoFieldPrompt* dialog) {
        QTest::keyClicks(dialog->firstField(), "#a");
        QTest::keyClicks(dialog->secondField(), "new topic");
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    const auto both =
        prompts.promptTwoFields(kMenuTopic, u"Topic input", u"Enter channel:", u"Enter new topic:");
    EXPECT_EQ(both, std::make_optional(
                        std::make_pair(std::u16string(u"#a"), std::u16string(u"new topic"))));
    EXPECT_EQ(hooked, 4);  // one field for each one-field prompt, two for the topic
    test::whenModal<PickFromListPrompt>([](PickFromListPrompt* dialog) {
        dialog->list()->item(1)->setSelected(true);
        QTest::mouseClick(dialog->removeButton(), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.pickFromList(kPickBanList, u"#c banlist", u"Select ban to remove:",
                                   {u"*!*@a", u"*!*@b"}),
              std::optional<int>(1));
}

}  // namespace
}  // namespace kolu
