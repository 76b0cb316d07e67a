#pragma once
// Cuts the text of a message the user sends (PRIVMSG, NOTICE, CTCP ACTION) into
// pieces that each fit one IRC line as the server relays it to the others, its
// ":nick!user@host " prefix included: a longer line is cut by the server or
// costs the connection.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

// An IRC line holds 512 bytes with its CR LF; what the client sends holds the rest.
inline constexpr std::size_t kIrcLineBytes = 512;
inline constexpr std::size_t kMaxSentLineBytes = kIrcLineBytes - 2;

// Empty when `line` fits what the client may send as one line; else the local
// line that says it was not sent. Every line the user sends passes here.
std::u16string longLineRefusal(std::u16string_view line);

// `text` in pieces, each to be sent by `nick` as head + piece + tail (for
// example "PRIVMSG #a :\x01ACTION " and "\x01"). Cut at the last blank that
// fits, which is dropped; inside a word only when a piece has no blank; never
// inside a character; no piece is empty. Nothing when even one character
// leaves the line too long (a head that fills it).
std::vector<std::u16string> splitMessage(std::u16string_view text, std::u16string_view nick,
                                         std::u16string_view head, std::u16string_view tail = {});

}  // namespace kolu
