#include "gui/input_line.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

// An input line beside another field (somewhere for the focus to go), over a session's model
// whose real command parser runs the lines.
class InputLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        input = new InputLine(model, env.colours, window.get());
        other = new QLineEdit(window.get());
        auto* layout = new QVBoxLayout(window.get());
        layout->addWidget(input);
        layout->addWidget(other);
        window->resize(240, 80);
        // What the main window does with Enter.
        QObject::connect(input, &InputLine::entered,
                         [this] { env.session.commands.parsuj(model); });
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        input->Focus2Input();
    }

    QLineEdit* edit() const { return input->editControl(); }
    QString shown() const { return edit()->text(); }
    QStringList listed() const {
        QStringList items;
        for (int i = 0; i < input->count(); ++i) {
            items.append(input->itemText(i));
        }
        return items;
    }
    // Keys go where the keyboard focus is, as a user's would.
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, modifiers);
    }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }

    test::SessionEnv env;
    InputLineModel model;
    std::unique_ptr<QWidget> window;
    InputLine* input = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(InputLineTest,
       HistoryTakesEnteredLinesLastUpDownAndPicksRecallThemPageKeysAndTheWheelDoNot) {
    QSignalSpy entered(input, &InputLine::entered);
    for (const char* line : {"alpha", "beta", "gamma"}) {
        type(QString::fromLatin1(line));
        key(Qt::Key_Return);
    }
    type(QStringLiteral("draft"));
    key(Qt::Key_PageUp);
    key(Qt::Key_PageDown);
    for (const int delta : {120, -120}) {
        QWheelEvent wheel(QPointF(5, 5), input->mapToGlobal(QPointF(5, 5)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(input, &wheel);
    }
    EXPECT_EQ(shown(), QStringLiteral("draft"));
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("beta"));
    key(Qt::Key_Down);
    EXPECT_EQ(shown(), QStringLiteral("gamma"));

    // Enter on an empty line runs nothing, but still restarts the walk at the newest.
    key(Qt::Key_Up);
    model.setText(u"");
    key(Qt::Key_Return);
    EXPECT_EQ(entered.count(), 4);
    key(Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("gamma"));

    // Typing after an entry picked from the drop-down list edits it at the caret.
    input->setCurrentIndex(0);
    QSignalSpy edited(input, &InputLine::textEdited);
    key(Qt::Key_Home);
    type(QStringLiteral("x"));
    EXPECT_EQ(model.text(), u"xalpha");
    EXPECT_EQ(input->currentIndex(), -1);
    EXPECT_EQ(edit()->cursorPosition(), 1);
    EXPECT_EQ(edited.count(), 1);
    key(Qt::Key_Up);  // a recalled line is no edit: word completion is not asked
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(InputLineTest, ControlKeysTypeFormattingCodesArrowReleasesSwitchTabsAndTheCaretComesBack) {
    QSignalSpy switched(input, &InputLine::switchTab);
    key(Qt::Key_B, Qt::ControlModifier);
    type(QStringLiteral("b"));
    key(Qt::Key_K, Qt::ControlModifier);
    type(QStringLiteral("4r"));
    key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(model.text(), u"\u0002b\u00034r\u000f");
    // The press moves the caret; only the release switches.
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(edit()->cursorPosition(), 5);
    EXPECT_EQ(switched.count(), 0);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Left);
    key(Qt::Key_Right);
    EXPECT_EQ(switched,
              (QList<QVariantList>{{TabRegistry::kLeftArrow}, {TabRegistry::kRightArrow}}));

    // Other keys, a held key's repeats and Alt combinations switch nothing.
    key(Qt::Key_Home);
    key(Qt::Key_Left, Qt::AltModifier);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_EQ(switched.count(), 2);
    // Escape is the owner's: it drops the lines waiting to be sent.
    QSignalSpy escaped(input, &InputLine::escaped);
    key(Qt::Key_Escape);
    EXPECT_EQ(escaped.count(), 1);

    // The caret comes back where it was (Tab would select everything); a selection leaves
    // its start as the remembered caret.
    edit()->setCursorPosition(2);
    other->setFocus(Qt::MouseFocusReason);
    edit()->setCursorPosition(6);  // moved while away, e.g. by a program
    input->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(edit()->cursorPosition(), 2);
    edit()->setSelection(5, -3);
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(input->savedCaret(), 2);
}

// Each change by an edit command reaches word completion; pasted lines are entered.
TEST_F(InputLineTest, EditCommandsReachWordCompletionAndRightClickOrHoldOpenTheirMenu) {
    type(QStringLiteral("hello world"));
    QSignalSpy edited(input, &InputLine::textEdited);
    edit()->setSelection(6, 5);
    input->runEditCommand(InputLine::kCut);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("world"));
    edit()->setSelection(0, 2);
    input->runEditCommand(InputLine::kDelete);
    edit()->setCursorPosition(0);
    input->runEditCommand(InputLine::kDelete);  // no selection: nothing goes
    EXPECT_EQ(model.text(), u"llo ");
    EXPECT_EQ(edited.count(), 2) << "the cut and the delete";
    QApplication::clipboard()->setText(QStringLiteral("one\r\ntwo\n"));
    key(Qt::Key_End);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"llo one", "two"}));

    // The menu greys what cannot be done.
    type(QStringLiteral("hello world"));
    edit()->setSelection(0, 5);
    auto image = new QMimeData;  // something on the clipboard, but no text
    image->setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
    QApplication::clipboard()->setMimeData(image);
    auto seen = test::rightClick(edit(), QPoint(5, 5), InputLine::kCopy);
    EXPECT_EQ(seen->items, (QStringList{"Cut", "Copy", "Paste (grey)", "Delete"}));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));

    // A press held without moving: the menu, then Paste at the caret.
    seen = std::make_shared<test::MenuSeen>();
    test::chooseFromNextMenu(InputLine::kPaste, seen);
    edit()->setCursorPosition(11);
    edited.clear();
    const QPoint end(edit()->width() - 3, edit()->height() / 2);  // past the text
    QTest::mousePress(edit(), Qt::LeftButton, Qt::NoModifier, end);
    KOLU_WAIT_FOR(seen->shown, 3000);
    QTest::mouseRelease(edit(), Qt::LeftButton, Qt::NoModifier, end);
    EXPECT_EQ(seen->items, (QStringList{"Cut (grey)", "Copy (grey)", "Paste", "Delete (grey)"}));
    EXPECT_EQ(model.text(), u"hello worldhello");
    EXPECT_EQ(edited.count(), 1) << "the paste";
}

TEST_F(InputLineTest, PaintsInTheInputColoursOrOverThePicture) {
    ColourArray entries = env.colours.entries();
    entries[kInputBackground] = 0x00FFFF;  // yellow
    entries[kInputText] = 0xFF0000;        // blue
    env.colours.set(entries);
    input->refreshColours();
    model.setText(std::u16string(8, u'\u2588'));  // blocks: their pixels are the text colour
    other->setFocus();                            // no caret: it inverts what it covers
    const auto count = [&](const QColor& colour) {
        return test::countColour(edit()->grab().toImage(), colour);
    };
    EXPECT_GT(count(test::qcolour(0x00FFFF)), 100);
    EXPECT_GT(count(test::qcolour(0xFF0000)), 20);

    QImage picture(48, 48, QImage::Format_RGB32);
    picture.fill(QColor(0, 200, 0));
    input->setBackgroundPicture(&picture);
    EXPECT_GT(count(QColor(0, 200, 0)), 100);
    // With `bmp` off the colour shows again.
    env.settings.settings.RegZapiszLONG(u"bmp", 0);
    input->setSettings(&env.settings.settings);
    EXPECT_GT(count(test::qcolour(0x00FFFF)), 100);
}

}  // namespace
}  // namespace kolu
