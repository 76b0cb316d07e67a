#include "commands/secret_mask.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace kolu {
namespace {

std::vector<SecretSpan> wordsOf(std::u16string_view text) {
    std::vector<SecretSpan> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == u' ') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(text.find(u' ', i), text.size());
        words.push_back({i, end - i});
        i = end;
    }
    return words;
}

std::u16string_view wordAt(std::u16string_view text, SecretSpan word) {
    return text.substr(word.start, word.size);
}

// Which word holds the password, counted from the command word; negative
// counts from the end. The command carries a password only with that many words.
struct Rule {
    std::u16string_view command;
    int word;
};

constexpr Rule kRules[] = {
    {u"IDENTIFY", -1}, {u"LOGIN", -1},  {u"REGISTER", 1}, {u"GHOST", 2},
    {u"RECOVER", 2},   {u"RELEASE", 2}, {u"REGAIN", 2},   {u"GROUP", 2},
};

// The message part of a command line: after the command word, and after the
// target too when `targeted`.
std::optional<std::size_t> messageAfter(std::u16string_view line,
                                        const std::vector<SecretSpan>& words, bool targeted) {
    const std::size_t index = targeted ? 2 : 1;
    if (words.size() <= index || (targeted && !isPasswordService(wordAt(line, words[1])))) {
        return std::nullopt;
    }
    return words[index].start;
}

}  // namespace

bool isPasswordService(std::u16string_view target) {
    return equalsIgnoreCase(target.substr(0, target.find(u'@')), u"NickServ");
}

std::optional<SecretSpan> passwordInMessage(std::u16string_view message) {
    const std::vector<SecretSpan> words = wordsOf(message);
    if (words.size() < 2) {
        return std::nullopt;
    }
    const std::u16string_view command = wordAt(message, words[0]);
    if (equalsIgnoreCase(command, u"SET")) {
        if (words.size() >= 3 && equalsIgnoreCase(wordAt(message, words[1]), u"PASSWORD")) {
            return words[2];
        }
        return std::nullopt;
    }
    for (const Rule& rule : kRules) {
        if (!equalsIgnoreCase(command, rule.command)) {
            continue;
        }
        if (rule.word < 0) {
            return words.back();
        }
        if (words.size() > static_cast<std::size_t>(rule.word)) {
            return words[static_cast<std::size_t>(rule.word)];
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<SecretSpan> passwordInLine(std::u16string_view line, std::u16string_view tabName,
                                         bool commands) {
    std::optional<std::size_t> start;
    if (!commands || line.empty() || line.front() != u'/') {
        if (isPasswordService(tabName)) {
            start = 0;
        }
    } else {
        const std::u16string_view typed = line.substr(1);
        const std::vector<SecretSpan> words = wordsOf(typed);
        // The command word follows the '/' at once, as the command line reads it.
        const std::u16string_view command =
            words.empty() || words.front().start != 0 ? u"" : wordAt(typed, words.front());
        if (equalsIgnoreCase(command, u"msg") || equalsIgnoreCase(command, u"query") ||
            equalsIgnoreCase(command, u"privmsg")) {
            start = messageAfter(typed, words, true);
        } else if (equalsIgnoreCase(command, u"nickserv") || equalsIgnoreCase(command, u"ns")) {
            start = messageAfter(typed, words, false);
        }
        if (start) {
            ++*start;  // past the '/'
            // A raw PRIVMSG carries its text as the trailing parameter.
            if (line[*start] == u':') {
                ++*start;
            }
        }
    }
    if (!start) {
        return std::nullopt;
    }
    std::optional<SecretSpan> password = passwordInMessage(line.substr(*start));
    if (password) {
        password->start += *start;
    }
    return password;
}

std::u16string masked(std::u16string_view text, std::optional<SecretSpan> password) {
    std::u16string result(text);
    if (password) {
        result.replace(password->start, password->size, kPasswordMask);
    }
    return result;
}

std::u16string shownMessage(std::u16string_view target, std::u16string_view message) {
    return isPasswordService(target) ? masked(message, passwordInMessage(message))
                                     : std::u16string(message);
}

}  // namespace kolu
