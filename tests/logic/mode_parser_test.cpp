#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/channel_events.h"
#include "settings/settings.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Names = std::vector<std::u16string>;
using Sounds = std::vector<std::string>;

// The client "me" in #chan with alice (operator), bob and carol (voiced); every
// status change has a sound so the parser's calls can be heard.
struct ModeWorld {
    ModeWorld() {
        h.state().currentNick = u"me";
        reply_JOIN(h.context, test::HandlerEnv::line(u":me!m@home JOIN #chan"));
        for (const char16_t* name : {u"@alice", u"bob", u"+carol"}) {
            DodajDoListyOpt(h.tabs(), u"#chan", name);
        }
        for (const char16_t* event : {u"op", u"deop", u"voice", u"devoice"}) {
            h.setSound(event, std::u16string(event) + u".wav");
        }
        h.env.sound.played.clear();
    }
    void mode(std::u16string_view raw) { reply_MODE(h.context, test::HandlerEnv::line(raw)); }
    Names users() {
        Names out;
        if (const UserList* list = h.tabs().pobierz_hwndlist(u"#chan")) {
            for (std::size_t i = 0; i < list->size(); ++i) {
                out.push_back(list->at(i).label);
            }
        }
        return out;
    }
    std::u16string last(int tab) {
        const Names all = h.lines(tab);
        return all.empty() ? u"" : all.back();
    }
    int chan() { return h.tabs().znajdz_zakladke(u"#chan"); }

    test::HandlerEnv h;
};

TEST(ModeParser, StatusChangesOfChannelModes) {
    struct Case {
        const char16_t* modes;
        Names users;
        Sounds sounds;
    };
    const Case cases[] = {
        {u"+ov bob carol", {u"@alice", u"@bob", u"+carol"}, {"op.wav", "voice.wav"}},
        {u"-o+v alice bob", {u"+bob", u"+carol", u"alice"}, {"deop.wav", "voice.wav"}},
        {u"+v alice", {u"@alice", u"+carol", u"bob"}, {"voice.wav"}},
        // A mode string without a sign removes.
        {u"ov alice carol", {u"alice", u"bob", u"carol"}, {"deop.wav", "devoice.wav"}},
        // Masks, keys and limits take their parameter and change no member.
        {u"+b bob", {u"@alice", u"+carol", u"bob"}, {}},
        {u"+bo bob bob", {u"@alice", u"@bob", u"+carol"}, {"op.wav"}},
        {u"-b+k *!*@h secret", {u"@alice", u"+carol", u"bob"}, {}},
        {u"+lv 10 bob", {u"@alice", u"+bob", u"+carol"}, {"voice.wav"}},
        {u"-l+o 5 bob", {u"@alice", u"@bob", u"+carol"}, {"op.wav"}},
        // Modes without a parameter are skipped without taking one.
        {u"+ntov bob carol", {u"@alice", u"@bob", u"+carol"}, {"op.wav", "voice.wav"}},
        // More modes than parameters: the missing ones read as empty.
        {u"+oo bob", {u"@alice", u"@bob", u"+carol"}, {"op.wav"}},
        {u"+ovvvvvvvv bob", {u"@alice", u"@bob", u"+carol"}, {"op.wav"}},
        // A parameter marked as trailing, and an empty one between two blanks.
        {u"+o :bob", {u"@alice", u"@bob", u"+carol"}, {"op.wav"}},
        {u"+ov  bob", {u"@alice", u"+bob", u"+carol"}, {"voice.wav"}},
        {u"+o dave", {u"@alice", u"+carol", u"bob"}, {}},
        {u"+i", {u"@alice", u"+carol", u"bob"}, {}},
        {u"+o", {u"@alice", u"+carol", u"bob"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.modes)));
        ModeWorld w;
        w.mode(u":srv.example MODE #chan " + std::u16string(c.modes));
        EXPECT_EQ(w.last(w.chan()), u"*** srv.example sets mode: " + std::u16string(c.modes));
        EXPECT_EQ(w.h.lastColour(w.chan()), w.h.env.colours.of(LineClass::Mode));
        EXPECT_EQ(w.users(), c.users);
        EXPECT_EQ(w.h.soundsPlayed(), c.sounds);
    }
}

// One line opping alice, voicing bob and devoicing carol, with a sound each.
TEST(ModeParser, OpVoiceDevoiceAcrossThreeMembers) {
    ModeWorld w;
    usun_z_listy(w.h.tabs(), u"#chan", u"alice");
    DodajDoListyOpt(w.h.tabs(), u"#chan", u"alice");
    DodajDoListyOpt(w.h.tabs(), u"#chan", u"@op");
    w.mode(u":op!o@h MODE #chan +ov-v alice bob carol");
    EXPECT_EQ(w.users(), (Names{u"@alice", u"@op", u"+bob", u"carol"}));
    EXPECT_EQ(w.h.soundsPlayed(), (Sounds{"op.wav", "voice.wav", "devoice.wav"}));
    EXPECT_EQ(w.last(w.chan()), u"*** op sets mode: +ov-v alice bob carol");

    // Voicing an operator keeps the operator mark; deopping then shows the voice.
    w.mode(u":op!o@h MODE #chan +v alice");
    EXPECT_EQ(w.users(), (Names{u"@alice", u"@op", u"+bob", u"carol"}));
    w.mode(u":op!o@h MODE #chan -o alice");
    EXPECT_EQ(w.users(), (Names{u"@op", u"+alice", u"+bob", u"carol"}));
}

TEST(ModeParser, UserModesPrintInTheStatusTab) {
    ModeWorld w;
    w.mode(u":me!m@home MODE me :+i");
    EXPECT_EQ(w.last(0), u"*** me sets mode: +i");
    EXPECT_EQ(w.h.lastColour(0), w.h.env.colours.of(LineClass::Mode));
    w.mode(u":ME MODE me :-w+x");
    EXPECT_EQ(w.last(0), u"*** ME sets mode: -w+x");
    // Set by the server: the target names no tab, so it lands in the status tab too.
    w.mode(u":irc.example MODE me +o me");
    EXPECT_EQ(w.last(0), u"*** irc.example sets mode: +o me");
    EXPECT_EQ(w.h.lines(w.chan()).size(), 1u);
    EXPECT_EQ(w.users(), (Names{u"@alice", u"+carol", u"bob"}));
    EXPECT_TRUE(w.h.soundsPlayed().empty());
}

TEST(ModeParser, ModesForAChannelWithoutATab) {
    ModeWorld w;
    w.mode(u":op!o@h MODE #elsewhere +o bob");
    EXPECT_EQ(w.last(0), u"*** op sets mode: +o bob");
    EXPECT_EQ(w.users(), (Names{u"@alice", u"+carol", u"bob"}));
    EXPECT_TRUE(w.h.soundsPlayed().empty());
}

TEST(ModeParser, HostileModeLines) {
    const std::u16string huge(10000, u'o');
    std::u16string pairs;
    for (int i = 0; i < 300; ++i) {
        pairs += u"\U0001F600";
    }
    struct Case {
        std::u16string raw;
        std::u16string text;  // printed in the status tab
    };
    const Case cases[] = {
        {u":", u"***  sets mode: "},
        {u"::", u"*** : sets mode: "},
        {u": MODE", u"***  sets mode: "},
        {u":op MODE #x :", u"*** op sets mode: "},
        {u":op MODE #x : :", u"*** op sets mode:  :"},
        {u":op MODE #x +" + huge + u" bob", (u"*** op sets mode: +" + huge).substr(0, 255)},
        {u":op MODE #x +oo " + pairs, (u"*** op sets mode: +oo " + pairs).substr(0, 254)},
        {u":op MODE #x -" + huge + u" " + huge, (u"*** op sets mode: -" + huge).substr(0, 255)},
        {u":op MODE #x " + huge, (u"*** op sets mode: " + huge).substr(0, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "line of " << c.raw.size() << " characters");
        ModeWorld w;
        w.mode(c.raw);
        EXPECT_EQ(w.last(0), c.text);
        EXPECT_EQ(w.users(), (Names{u"@alice", u"+carol", u"bob"}));
    }

    // Ten thousand "o" modes against one parameter in the channel itself.
    ModeWorld w;
    w.mode(u":op MODE #chan +" + huge + u" bob");
    EXPECT_EQ(w.users(), (Names{u"@alice", u"@bob", u"+carol"}));
    EXPECT_EQ(w.last(w.chan()).size(), 255u);
}

}  // namespace
}  // namespace kolu
