#pragma once
// A line's parameters read the protocol's way, beside the reply's four words:
// after the source (a leading ':' word) and the command, parameters part at
// single blanks, and one that begins with ':' is the last and runs to the end of
// the line, blanks and colons included. Without that mark the last word is the
// last parameter, so "332 me #u word" and "332 me #u :a topic" both give the
// topic as parameter 2. Built once per line with its reply.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

class MessageParams {
  public:
    void parse(std::u16string_view line);
    void clear();

    // The source without its colon (empty when the line has none) and the command.
    const std::u16string& source() const { return m_source; }
    const std::u16string& command() const { return m_command; }

    std::size_t size() const { return m_size; }
    // Parameter i (0 is the first after the command); empty when there are fewer.
    const std::u16string& operator[](std::size_t i) const;
    // Parameters i and after, joined by single blanks (the last without its colon).
    std::u16string from(std::size_t i) const;

  private:
    // The next parameter's string, kept from an earlier line where there is one.
    std::u16string& nextParameter();

    std::u16string m_source;
    std::u16string m_command;
    // The first m_size are this line's; the rest keep their storage for the next
    // line, as one reply is reused for every line of a connection.
    std::vector<std::u16string> m_params;
    std::size_t m_size = 0;
};

}  // namespace kolu
