#include "ui/widgets/input_line.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

QString q(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

// An input line in a window next to another field (somewhere for the focus to
// go), over the model of a session whose real command parser runs the lines.
class InputLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        ASSERT_EQ(env.session.tabs.selected(), 0);  // the session made the status tab
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
        ASSERT_TRUE(input->editControl()->hasFocus());
        QApplication::clipboard()->clear();
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
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, k, modifiers);
    }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    void send(const QString& line) {
        type(line);
        key(Qt::Key_Return);
    }

    test::SessionEnv env;
    InputLineModel model;
    std::unique_ptr<QWidget> window;
    InputLine* input = nullptr;
    QLineEdit* other = nullptr;
};

struct HistoryWalk {
    const char* name;
    std::vector<std::u16string> history;
    std::u16string typed;  // in the line before the walk
    std::vector<Qt::Key> keys;
    std::vector<std::u16string> shownAfterEach;
};

TEST_F(InputLineTest, UpAndDownWalkTheHistory) {
    const std::vector<std::u16string> three = {u"one", u"two", u"three"};
    const HistoryWalk walks[] = {
        {"up from the newest to the oldest, then stays",
         three,
         u"",
         {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Up},
         {u"three", u"two", u"one", u"one"}},
        {"down goes back to the newest, then past it to an empty line",
         three,
         u"",
         {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down},
         {u"three", u"two", u"three", u"", u""}},
        {"down without a shown entry leaves the typed text",
         three,
         u"draft",
         {Qt::Key_Down, Qt::Key_Up},
         {u"draft", u"three"}},
        {"page keys belong to the edit field, not to the history",
         three,
         u"draft",
         {Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Up},
         {u"draft", u"draft", u"draft", u"three"}},
    };
    for (const HistoryWalk& walk : walks) {
        SCOPED_TRACE(walk.name);
        InputLineModel fresh;
        for (const std::u16string& line : walk.history) {
            fresh.addToHistory(line);
        }
        InputLine line(fresh, env.colours, window.get());
        line.show();
        line.Focus2Input();
        QTest::keyClicks(line.editControl(), q(walk.typed));
        ASSERT_EQ(line.editControl()->text(), q(walk.typed));
        ASSERT_EQ(line.count(), static_cast<int>(walk.history.size()));
        for (std::size_t i = 0; i < walk.keys.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), walk.keys[i]);
            EXPECT_EQ(line.editControl()->text(), q(walk.shownAfterEach[i])) << "after key " << i;
            EXPECT_EQ(fresh.text(), walk.shownAfterEach[i]) << "after key " << i;
        }
    }
}

TEST_F(InputLineTest, TheWheelLeavesTheLineAlone) {
    for (const std::u16string_view line : {u"one", u"two"}) {
        model.addToHistory(line);
    }
    type(QStringLiteral("draft"));
    for (const int delta : {120, -120, -120}) {
        const QPointF at(5, 5);
        QWheelEvent wheel(at, input->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(input, &wheel);
    }
    EXPECT_EQ(shown(), QStringLiteral("draft"));
    EXPECT_EQ(model.selection(), -1);
}

TEST_F(InputLineTest, EnterRunsTheLineAndRestartsTheHistoryWalk) {
    QSignalSpy entered(input, &InputLine::entered);
    send(QStringLiteral("alpha"));
    send(QStringLiteral("beta"));
    send(QStringLiteral("gamma"));
    EXPECT_EQ(entered.count(), 3);
    EXPECT_EQ(shown(), QString());
    EXPECT_EQ(listed(), (QStringList{"alpha", "beta", "gamma"}));

    // Up, Up shows "beta"; sending it moves it to the end, and the next walk
    // starts again from the newest.
    key(Qt::Key_Up);
    key(Qt::Key_Up);
    ASSERT_EQ(shown(), QStringLiteral("beta"));
    key(Qt::Key_Return);
    EXPECT_EQ(shown(), QString());
    EXPECT_EQ(listed(), (QStringList{"alpha", "gamma", "beta"}));
    key(Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("beta"));

    // Enter on an empty line runs nothing, but still restarts the walk.
    key(Qt::Key_Up);
    ASSERT_EQ(shown(), QStringLiteral("gamma"));
    model.setText(u"");
    key(Qt::Key_Return);
    EXPECT_EQ(listed().size(), 3);
    EXPECT_EQ(entered.count(), 5);
    key(Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("beta"));
}

TEST_F(InputLineTest, ControlKeysTypeTheFormattingCodes) {
    key(Qt::Key_B, Qt::ControlModifier);
    type(QStringLiteral("b"));
    key(Qt::Key_K, Qt::ControlModifier);
    type(QStringLiteral("4r"));
    for (const Qt::Key k : {Qt::Key_I, Qt::Key_U, Qt::Key_O}) {
        key(k, Qt::ControlModifier);
    }
    EXPECT_EQ(model.text(),
              u"\x02"
              u"b\x03"
              u"4r\x1d\x1f\x0f");
}

TEST_F(InputLineTest, ALineSentAgainIsListedOnceAtTheEnd) {
    for (const char* line : {"one", "Two", "three", "ONE", "two"}) {
        send(QString::fromLatin1(line));
    }
    EXPECT_EQ(listed(), (QStringList{"three", "ONE", "two"}));
    key(Qt::Key_Up);
    EXPECT_EQ(shown(), QStringLiteral("two"));
}

TEST_F(InputLineTest, TypingAfterAPickedEntryEditsItAtTheCaret) {
    send(QStringLiteral("hello"));
    send(QStringLiteral("world"));
    input->setCurrentIndex(0);  // picked from the drop-down list
    EXPECT_EQ(shown(), QStringLiteral("hello"));
    EXPECT_EQ(model.text(), u"hello");
    EXPECT_EQ(model.selection(), 0);

    QSignalSpy edited(input, &InputLine::textEdited);
    key(Qt::Key_Home);
    type(QStringLiteral("x"));
    EXPECT_EQ(shown(), QStringLiteral("xhello"));
    EXPECT_EQ(model.text(), u"xhello");
    EXPECT_EQ(model.selection(), -1);
    EXPECT_EQ(input->currentIndex(), -1);
    EXPECT_EQ(edit()->cursorPosition(), 1);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited.at(0).at(0).toString(), QStringLiteral("xhello"));

    // A recalled line is not an edit: word completion is not asked.
    key(Qt::Key_Up);
    EXPECT_EQ(edited.count(), 1);
}

TEST_F(InputLineTest, ArrowReleasesSwitchTabs) {
    TabRegistry& tabs = env.session.tabs;
    tabs.dodaj_zakladke(u"#a");
    tabs.dodaj_zakladke(u"#b");
    tabs.select(1);
    QObject::connect(input, &InputLine::switchTab, [&tabs](int k) { tabs.PrzelaczZakladke(k); });
    QSignalSpy switched(input, &InputLine::switchTab);
    type(QStringLiteral("abc"));

    // The press moves the caret; only the release switches.
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(edit()->cursorPosition(), 2);
    EXPECT_EQ(switched.count(), 0);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Left);
    ASSERT_EQ(switched.count(), 1);
    EXPECT_EQ(switched.at(0).at(0).toInt(), TabRegistry::kLeftArrow);
    EXPECT_EQ(tabs.selected(), 0);

    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_Right);  // no tab after the last
    EXPECT_EQ(switched.count(), 4);
    EXPECT_EQ(switched.at(1).at(0).toInt(), TabRegistry::kRightArrow);
    EXPECT_EQ(tabs.selected(), 2);

    // Other keys, a held key's repeats and Alt combinations switch nothing.
    key(Qt::Key_Home);
    key(Qt::Key_Left, Qt::AltModifier);
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(QApplication::focusWidget(), &repeat);
    EXPECT_EQ(switched.count(), 4);
    EXPECT_EQ(tabs.selected(), 2);
}

TEST_F(InputLineTest, CaretComesBackWhereItWas) {
    type(QStringLiteral("hello world"));
    edit()->setCursorPosition(5);
    other->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(other->hasFocus());
    EXPECT_EQ(input->savedCaret(), 5);
    edit()->setCursorPosition(11);  // moved while away, e.g. by a program
    // Coming back with Tab would select everything; the caret returns instead.
    input->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(edit()->hasFocus());
    EXPECT_EQ(edit()->cursorPosition(), 5);
    EXPECT_FALSE(edit()->hasSelectedText());

    // A selection leaves its start as the remembered caret.
    edit()->setSelection(8, -3);
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(input->savedCaret(), 5);

    // Word completion places the caret while the focus is elsewhere.
    input->setCaret(2);
    input->Focus2Input();
    EXPECT_EQ(edit()->cursorPosition(), 2);
}

struct MenuCase {
    const char* name;
    QString text;
    int selectFrom, selectLength;  // length 0: no selection
    bool clipboardText;
    bool cut, copy, paste, del;
};

TEST_F(InputLineTest, EditMenuGreysWhatCannotBeDone) {
    const MenuCase cases[] = {
        {"empty line, empty clipboard", "", 0, 0, false, false, false, false, false},
        {"text without selection, text to paste", "hello", 0, 0, true, false, false, true, false},
        {"a selection, nothing to paste", "hello", 1, 3, false, true, true, false, true},
        {"a selection and text to paste", "hello", 0, 5, true, true, true, true, true},
    };
    for (const MenuCase& c : cases) {
        SCOPED_TRACE(c.name);
        model.setText(c.text.toStdU16String());
        if (c.selectLength > 0) {
            edit()->setSelection(c.selectFrom, c.selectLength);
        } else {
            edit()->deselect();
        }
        if (c.clipboardText) {
            QApplication::clipboard()->setText(QStringLiteral("pasted"));
        } else {
            auto* image = new QMimeData;
            image->setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
            QApplication::clipboard()->setMimeData(image);
        }
        const std::unique_ptr<QMenu> menu = input->createEditMenu();
        const QList<QAction*> actions = menu->actions();
        ASSERT_EQ(actions.size(), 4);
        const bool expected[] = {c.cut, c.copy, c.paste, c.del};
        const char* labels[] = {"Cut", "Copy", "Paste", "Delete"};
        const int ids[] = {InputLine::kCut, InputLine::kCopy, InputLine::kPaste,
                           InputLine::kDelete};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(actions[i]->text(), QString::fromLatin1(labels[i]));
            EXPECT_EQ(actions[i]->data().toInt(), ids[i]);
            EXPECT_EQ(actions[i]->isEnabled(), expected[i]) << labels[i];
        }
    }
}

TEST_F(InputLineTest, EditCommandsChangeTheLineAndTheClipboard) {
    QSignalSpy edited(input, &InputLine::textEdited);
    type(QStringLiteral("hello world"));
    const int typedEdits = static_cast<int>(edited.count());
    edit()->setSelection(6, 5);
    input->runEditCommand(InputLine::kCopy);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("world"));
    EXPECT_EQ(shown(), QStringLiteral("hello world"));

    input->runEditCommand(InputLine::kCut);
    EXPECT_EQ(shown(), QStringLiteral("hello "));
    EXPECT_EQ(model.text(), u"hello ");

    QApplication::clipboard()->setText(QStringLiteral("there"));
    input->runEditCommand(InputLine::kPaste);
    EXPECT_EQ(model.text(), u"hello there");

    edit()->setSelection(0, 6);
    input->runEditCommand(InputLine::kDelete);
    EXPECT_EQ(model.text(), u"there");
    // Delete without a selection removes nothing.
    edit()->setCursorPosition(0);
    input->runEditCommand(InputLine::kDelete);
    EXPECT_EQ(model.text(), u"there");
    // Each change reached word completion.
    EXPECT_EQ(edited.count(), typedEdits + 3);
}

// Closes the next popup menu with the action labelled `choice` (or none),
// recording the labels and states it offered.
class MenuAnswer {
  public:
    explicit MenuAnswer(QString choice) : m_choice(std::move(choice)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(10);
    }
    bool seen() const { return !m_offered.isEmpty(); }
    const QStringList& offered() const { return m_offered; }

  private:
    void poll() {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            return;
        }
        m_timer.stop();
        for (QAction* action : menu->actions()) {
            m_offered.append(action->text() + (action->isEnabled() ? "" : " (grey)"));
            if (action->text() == m_choice) {
                menu->setActiveAction(action);
            }
        }
        if (menu->activeAction()) {
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            menu->close();
        }
    }

    QString m_choice;
    QTimer m_timer;
    QStringList m_offered;
};

TEST_F(InputLineTest, PastedLinesAreEnteredWithTheTextAroundTheCaret) {
    type(QStringLiteral("say "));
    QApplication::clipboard()->setText(QStringLiteral("one\r\ntwo\n"));
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(listed(), (QStringList{"say one", "two"}));
    EXPECT_EQ(shown(), QString());

    // Refused (the fake host answers No): the text stays for another Enter.
    const QString many = QStringLiteral("1\n2\n3\n4\n5\n6");
    QApplication::clipboard()->setText(many);
    input->runEditCommand(InputLine::kPaste);
    EXPECT_EQ(env.host.questions.size(), 1u);
    EXPECT_EQ(model.text(), many.toStdU16String());
}

TEST_F(InputLineTest, RightClickAndHoldOpenTheEditMenu) {
    type(QStringLiteral("hello world"));
    edit()->setSelection(0, 5);
    {
        MenuAnswer answer(QStringLiteral("Copy"));
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                edit()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(edit(), &click);
        EXPECT_EQ(answer.offered(), (QStringList{"Cut", "Copy", "Paste (grey)", "Delete"}));
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
    }
    {
        // A press held without moving: the menu, then Paste at the caret.
        MenuAnswer answer(QStringLiteral("Paste"));
        edit()->setCursorPosition(11);
        const QPoint end(edit()->width() - 3, edit()->height() / 2);  // past the text
        QTest::mousePress(edit(), Qt::LeftButton, Qt::NoModifier, end);
        QTRY_VERIFY_WITH_TIMEOUT(answer.seen(), 3000);
        QTest::mouseRelease(edit(), Qt::LeftButton, Qt::NoModifier, end);
        EXPECT_EQ(answer.offered(),
                  (QStringList{"Cut (grey)", "Copy (grey)", "Paste", "Delete (grey)"}));
        EXPECT_EQ(model.text(), u"hello worldhello");
    }
}

TEST_F(InputLineTest, PaintsInTheInputColoursOrOverThePicture) {
    constexpr char16_t kBlock = u'\u2588';
    ColourArray entries = env.colours.entries();
    entries[kInputBackground] = 0x00FFFF;  // yellow
    entries[kInputText] = 0xFF0000;        // blue
    env.colours.set(entries);
    input->refreshColours();
    model.setText(std::u16string(8, kBlock));
    other->setFocus();  // no caret: it inverts what it covers
    const auto counts = [&] {
        const QImage shot = edit()->grab().toImage();
        std::map<QRgb, int> seen;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                ++seen[shot.pixelColor(x, y).rgb()];
            }
        }
        return seen;
    };
    std::map<QRgb, int> seen = counts();
    EXPECT_GT(seen[qcolour(0x00FFFF).rgb()], 100);
    EXPECT_GT(seen[qcolour(0xFF0000).rgb()], 20);

    QImage picture(48, 48, QImage::Format_RGB32);
    picture.fill(QColor(0, 200, 0));
    input->setBackgroundPicture(&picture);
    seen = counts();
    EXPECT_EQ(seen[qcolour(0x00FFFF).rgb()], 0);
    EXPECT_GT(seen[QColor(0, 200, 0).rgb()], 100);

    // With `bmp` off the colour shows again.
    env.settings.settings.RegZapiszLONG(u"bmp", 0);
    input->setSettings(&env.settings.settings);
    seen = counts();
    EXPECT_GT(seen[qcolour(0x00FFFF).rgb()], 100);
}

}  // namespace
}  // namespace kolu
