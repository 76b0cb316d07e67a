// Word completion as a user meets it: the list over the input line follows the
// typing, a tick takes a word, and the list goes whenever it no longer serves;
// dialog fields get one word; against ngIRCd a completed '/join' is what is sent.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "platform/files.h"
#include "platform/sockets.h"
#include "tests/support/modal.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/window_fixture.h"
#include "ui/widgets/input_line.h"
#include "ui/widgets/main_window.h"
#include "ui/widgets/prompt_dialogs.h"
#include "ui/widgets/whisper_hook.h"
#include "ui/widgets/whisper_list.h"

namespace kolu {
namespace {

class WhisperTest : public test::WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        env.settings.RegZapiszLONG(u"whspmax", 5);
    }
    // The window active and its input line focused, as a user types.
    void startTyping() {
        startWindow();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        edit()->setFocus();
    }
    QLineEdit* edit() { return window->inputLine().editControl(); }
    WhisperList* list() { return window->inputWhispers().list(); }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        for (int i = 0; list() && i < list()->rows(); ++i) {
            out.push_back(list()->word(i).toStdString());
        }
        return out;
    }
    void type(const QString& keys) { QTest::keyClicks(edit(), keys); }
    void clear() {
        edit()->selectAll();
        QTest::keyClick(edit(), Qt::Key_Backspace);
    }
};

using Rows = std::vector<std::string>;

TEST_F(WhisperTest, RowsFollowTheDictionarysOrderUpToTheMaximum) {
    startTyping();
    type(QStringLiteral("/w"));
    EXPECT_EQ(rows(), (Rows{"/who", "/whowas", "/whois"}));
    type(QStringLiteral("ho"));
    EXPECT_EQ(rows(), (Rows{"/whowas", "/whois"}));
    clear();
    env.settings.RegZapiszLONG(u"whspmax", 3);  // read at each change
    type(QStringLiteral("/"));
    EXPECT_EQ(rows(), (Rows{"/msg", "/part", "/join"}));
    // The list sits above the field and grows upward from there.
    const QRect field(edit()->mapTo(list()->parentWidget(), QPoint(0, 0)), edit()->size());
    EXPECT_LE(list()->geometry().bottom(), field.top());

    clear();
    window->session().dictionary.DbDodajTekst(u"/jab /jump");
    for (auto [maximum, expected] :
         {std::pair{5, Rows{"/jump", "/jab", "/join"}}, std::pair{2, Rows{"/jab", "/join"}},
          std::pair{1, Rows{"/join"}}}) {
        env.settings.RegZapiszLONG(u"whspmax", maximum);
        clear();
        type(QStringLiteral("/j"));
        EXPECT_EQ(rows(), expected) << maximum;
    }
    type(QStringLiteral("oin"));  // the typed word itself is never offered
    EXPECT_EQ(list(), nullptr);
}

TEST_F(WhisperTest, ATickTakesTheWordAndEnterSendsWhatTheLineShows) {
    startTyping();
    type(QStringLiteral("hello /jo"));
    ASSERT_EQ(rows(), Rows{"/join"});
    const QRect tick = list()->cell(0, WhisperList::kTickColumn);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, tick.center());
    EXPECT_EQ(edit()->text().toStdString(), "hello /join ");
    EXPECT_EQ(edit()->cursorPosition(), 12);
    EXPECT_EQ(list(), nullptr);
    EXPECT_TRUE(edit()->hasFocus());

    // The keyboard: Tab takes the first row, Escape only closes.
    clear();
    type(QStringLiteral("/nic"));
    QTest::keyClick(&window->inputLine(), Qt::Key_Tab);  // where a real key arrives
    EXPECT_EQ(edit()->text().toStdString(), "/nick ");
    type(QStringLiteral("/to"));
    ASSERT_NE(list(), nullptr) << "the caret follows the new word";
    QTest::keyClick(&window->inputLine(), Qt::Key_Escape);
    EXPECT_EQ(list(), nullptr);
    EXPECT_EQ(edit()->text().toStdString(), "/nick /to");

    clear();
    type(QStringLiteral("/quer"));
    ASSERT_NE(list(), nullptr);
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_EQ(list(), nullptr) << "Enter closes the list";
}

TEST_F(WhisperTest, TheListGoesWhenItNoLongerServes) {
    startTyping();
    type(QStringLiteral("/jo"));
    ASSERT_NE(list(), nullptr);
    type(QStringLiteral(" "));
    EXPECT_EQ(list(), nullptr) << "a space ends the word";

    type(QStringLiteral("/jo"));
    ASSERT_NE(list(), nullptr);
    edit()->setCursorPosition(2);  // before the typed word
    QTest::keyClick(edit(), Qt::Key_Delete);
    EXPECT_EQ(list(), nullptr);

    clear();
    type(QStringLiteral("/jo"));
    ASSERT_NE(list(), nullptr);
    env.settings.RegZapiszLONG(u"whsp_enable", 0);
    type(QStringLiteral("i"));
    EXPECT_NE(list(), nullptr) << "switched off: the list is left as it was";
    QLineEdit elsewhere(window.get());
    elsewhere.show();
    elsewhere.setFocus();
    EXPECT_EQ(list(), nullptr) << "losing the focus closes it";
    edit()->setFocus();
    clear();
    type(QStringLiteral("/p"));
    EXPECT_EQ(list(), nullptr) << "switched off: nothing opens";
}

TEST_F(WhisperTest, DialogFieldsOfferOneWordWhileTheyHoldNoBlank) {
    startTyping();
    QLineEdit* field = nullptr;
    std::vector<int> shown;
    auto typed = std::make_shared<bool>(false);
    test::whenModal<OneFieldPrompt>(
        [&](OneFieldPrompt* prompt) {
            field = prompt->field();
            QTest::keyClicks(field, QStringLiteral("/w"));
            auto* whisper = prompt->findChild<WhisperList*>();
            shown.push_back(whisper ? whisper->rows() : 0);
            field->clear();
            QTest::keyClicks(field, QStringLiteral("a /w"));
            whisper = prompt->findChild<WhisperList*>();
            shown.push_back(whisper && whisper->isVisible() ? whisper->rows() : 0);
            prompt->reject();
        },
        typed);
    window->handleCommand(40101);  // Commands > Join
    ASSERT_TRUE(*typed);
    EXPECT_EQ(shown, (std::vector<int>{1, 0}));
}

TEST_F(WhisperTest, ACompletedJoinReachesNgircd) {
    test::NgircdFixture server;
    writeFileAtomically(env.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t" + std::to_string(server.port()) + "\t\r\n", 0600);
    env.settings.RegZapiszMsg(u"nick", u"whisperer", 120);
    startTyping();
    window->handleCommand(MainWindow::kConnectId);
    QTRY_VERIFY_WITH_TIMEOUT(window->session().state.currentNick == u"whisperer", 10000);
    edit()->setFocus();
    type(QStringLiteral("/jo"));
    QTest::keyClick(&window->inputLine(), Qt::Key_Space, Qt::ControlModifier);
    type(QStringLiteral("#words"));
    EXPECT_EQ(edit()->text().toStdString(), "/join #words");
    QTest::keyClick(edit(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window->session().tabs.znajdz_zakladke(u"#words") > 0, 10000);
    window->handleCommand(MainWindow::kConnectId);  // Disconnect
}

}  // namespace
}  // namespace kolu
