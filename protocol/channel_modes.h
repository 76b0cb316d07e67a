#pragma once
// Which channel modes carry a parameter on this server, as its 005 reply
// announces them: CHANMODES=A,B,C,D (lists and modes that always take one, modes
// that take one only when set, modes that never do), or, when it says nothing
// of them, bans, keys and limits, with the exception and invitation lists of
// EXCEPTS and INVEX. Member ranks (PREFIX) are the user lists' own.
#include <string>
#include <string_view>

namespace kolu {

class ChannelModes {
  public:
    // Whether `mode`, set (plus) or removed, takes the next parameter.
    bool takesParameter(char16_t mode, bool plus) const;
    // One token of a 005 reply; those that say nothing of channel modes change nothing.
    void learn(std::u16string_view token);

  private:
    bool known(char16_t mode) const;

    std::u16string m_always = u"bk";  // types A (lists) and B
    std::u16string m_whenSet = u"l";  // type C
    std::u16string m_never;           // type D
    bool m_announced = false;         // CHANMODES seen: it names the lists itself
};

}  // namespace kolu
