#pragma once
// The platform's message text for an error code (FormatMessage's role).
#include <string>

namespace kolu {

// errno values below 10000, Windows Sockets numbers from 10000 (see sockets.h).
// The text ends in CR LF as the system texts do; "" when there is none.
std::u16string errorText(int code);
// The same text without its line end, to go inside a sentence.
std::u16string errorPhrase(int code);

}  // namespace kolu
