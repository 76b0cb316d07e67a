#pragma once
// Passwords typed to the nickname service: the line goes to the server as typed,
// but the echo, the log, the input history and the taught words show a mask.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

// Shown in place of a password; of fixed length, so the password's does not leak.
inline constexpr std::u16string_view kPasswordMask = u"********";

// Where a password lies in a text: its first character and its length.
struct SecretSpan {
    std::size_t start = 0;
    std::size_t size = 0;
};

// NickServ, also as "NickServ@services.host", in any case.
bool isPasswordService(std::u16string_view target);

// The password in a message to the nickname service, by the message's first word:
// IDENTIFY [account] password, LOGIN account password, REGISTER password [email],
// GHOST/RECOVER/RELEASE/REGAIN/GROUP nick password, SET PASSWORD password.
std::optional<SecretSpan> passwordInMessage(std::u16string_view message);

// The password in a line entered in tab `tabName`: a message typed in the
// service's tab, or, with `commands`, "/msg", "/query", "/privmsg", "/nickserv"
// or "/ns" to the service.
std::optional<SecretSpan> passwordInLine(std::u16string_view line, std::u16string_view tabName,
                                         bool commands);

// `text` with the password, if any, replaced by the mask.
std::u16string masked(std::u16string_view text, std::optional<SecretSpan> password);

// A message to `target` as it may be shown: its password masked when the target
// is the nickname service.
std::u16string shownMessage(std::u16string_view target, std::u16string_view message);

}  // namespace kolu
