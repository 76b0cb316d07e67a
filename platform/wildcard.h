#pragma once
// File-name patterns as the handheld's file search reads them ("*.wav").
#include <string_view>

namespace kolu {

// '*' matches any run of characters and '?' one character (a whole UTF-8
// character); letters are compared without regard to ASCII case. "*.*" matches
// every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace kolu
