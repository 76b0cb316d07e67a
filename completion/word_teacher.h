#pragma once
// Where the command line teaches the words the user sends (self-teaching of the
// completion dictionary). The dictionary implements it; the command line works
// without one.
#include <string_view>

namespace kolu {

class WordTeacher {
  public:
    virtual ~WordTeacher() = default;
    // Adds every space-separated piece of two or more characters to the dictionary.
    virtual void DbDodajTekst(std::u16string_view text) = 0;
};

}  // namespace kolu
