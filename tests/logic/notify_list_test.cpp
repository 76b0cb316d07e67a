#include <gtest/gtest.h>

#include "commands/notify_list.h"
#include "platform/text.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;

TEST(NotifyListCreate, SplitsAtEverySpaceAndCutsLongNamesAtAWholeCharacter) {
    const std::u16string seventy(70, u'n');
    const std::pair<std::u16string, Lines> cases[] = {
        {u" a  b", {u"a", u"b"}},
        {seventy + u" x ", {seventy.substr(0, 63), u"x"}},
        {std::u16string(62, u'p') + u"\U0001F600" + u" ", {std::u16string(62, u'p')}},
    };
    for (const auto& [text, names] : cases) {
        Lines got;
        for (const NotifyEntry& entry : NotifyList::NotifyList_Create(text)) {
            got.push_back(entry.name);
            EXPECT_FALSE(entry.online);
        }
        EXPECT_EQ(got, names) << toUtf8(text);
    }
}

class NotifyListTest : public ::testing::Test {
  protected:
    NotifyListTest() { h.settings().RegZapiszLONG(u"not_whois", 0); }
    void watch(std::u16string_view list) {
        h.settings().RegZapiszMsg(u"notify", list, kSpecialListSize);
        notify.NotifyList_Delete();
        notify.NotifyList_Load();
    }
    Lines takeLines() {
        Lines texts;
        for (const test::PrintedLine& line : printer.lines) {
            EXPECT_EQ(line.target, u"");
            EXPECT_EQ(line.colour, h.env.colours.of(LineClass::Notify));
            texts.push_back(line.text);
        }
        printer.lines.clear();
        return texts;
    }

    test::HandlerEnv h;
    test::RecordingPrinter printer;
    NotifyList notify{{h.state(), h.env.session.connection, printer, h.settings(), h.env.colours},
                      &h.commands};
};

TEST_F(NotifyListTest, AnnouncesArrivalsAndDeparturesOnceEachUntilAReset) {
    watch(u"Alice bob ");
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Lines{u"*** alice is on IRC"});  // the answer's spelling
    notify.NotifyList_Update(u"BOB alice");
    EXPECT_EQ(takeLines(), Lines{u"*** BOB is on IRC"});
    notify.NotifyList_Update(u"");
    EXPECT_EQ(takeLines(), (Lines{u"*** alice has left IRC", u"*** BOB has left IRC"}));
    notify.NotifyList_Update(u"alice");
    takeLines();
    notify.NotifyList_Reset();  // the connection closed
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Lines{u"*** alice is on IRC"});
    EXPECT_TRUE(h.commands.calls.empty());  // not_whois is 0

    // A reload follows the setting; a long nickname is watched under its first 63 characters.
    watch(u"N" + std::u16string(69, u'x') + u" ");
    notify.NotifyList_Update(u"n" + std::u16string(69, u'x'));
    EXPECT_EQ(takeLines(), Lines{u"*** n" + std::u16string(62, u'x') + u" is on IRC"});
    notify.NotifyList_Update(u"N" + std::u16string(62, u'x'));
    EXPECT_EQ(takeLines(), Lines{});
}

TEST_F(NotifyListTest, NewcomersAreLookedUpWhenNotWhoisIsOn) {
    watch(u"alice bob ");
    h.settings().RegZapiszLONG(u"not_whois", 1);
    notify.NotifyList_Update(u"alice bob");
    notify.NotifyList_Update(u"bob");  // a departure is never looked up
    using Call = test::RecordingCommands::Call;
    EXPECT_EQ(h.commands.calls, (std::vector<Call>{{u"/whois alice", u""}, {u"/whois bob", u""}}));
}

}  // namespace
}  // namespace kolu
