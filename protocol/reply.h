#pragma once
// The parsed form of one inbound line: up to four words, the fourth holding the
// rest of the line, the same line's parameters as the protocol reads them, and
// the tags the line began with.
// One reply is alive while its line is dispatched; handlers read its words and
// parameters and copy what they need to keep.
#include <array>
#include <string>
#include <string_view>

#include "protocol/message_params.h"
#include "protocol/message_tags.h"

namespace kolu {

struct Reply {
    static constexpr int kMaxWords = 4;

    std::array<std::u16string, kMaxWords> words;
    int count = 0;
    MessageParams params;
    MessageTags tags;

    // Word i, or an empty text for a word the line does not have.
    const std::u16string& word(int i) const;
};

// Receives each parsed line (the inbound framing calls it once per line); the
// reply is valid only during the call.
class ReplyDispatcher {
  public:
    virtual ~ReplyDispatcher() = default;
    virtual void dispatch(const Reply& reply) = 0;
};

// Splits a line (without its line end) into words separated by single blanks;
// a colon starting any word is removed and the fourth word is the rest of the
// line. Fills `reply` (its parameters too) and returns the word count (0 for an
// empty line). A leading tag section ("@...") goes to the reply's tags first and
// the rest of the line is read as if it had come alone.
int tworz_odpowiedz(std::u16string_view line, Reply& reply);

// Empties the reply once its line has been handled.
void zwolnij_odpowiedz(Reply& reply);

// The nickname of a source "nick!user@host": the text before the first "!",
// the whole source when there is none.
std::u16string_view sourceNick(std::u16string_view source);
// The "user@host" part after the first "!", empty when there is none.
std::u16string_view sourceUserHost(std::u16string_view source);

}  // namespace kolu
