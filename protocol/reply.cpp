#include "protocol/reply.h"

namespace kolu {

namespace {
const std::u16string kNoWord;
}  // namespace

const std::u16string& Reply::word(int i) const {
    if (i < 0 || i >= count || i >= kMaxWords) {
        return kNoWord;
    }
    return words[static_cast<std::size_t>(i)];
}

int tworz_odpowiedz(std::u16string_view line, Reply& reply) {
    zwolnij_odpowiedz(reply);
    if (!line.empty() && line.front() == u'@') {
        line = reply.tags.take(line);
    }
    const std::size_t n = line.size();
    std::size_t position = 0;
    int count = 0;
    while (position < n && count < Reply::kMaxWords) {
        // Any word may start with a colon (the prefix, a trailing parameter, or a
        // parameter some servers mark the same way); it is never part of the word.
        if (line[position] == u':') {
            ++position;
        }
        const std::size_t blank = line.find(u' ', position);
        std::size_t length = n - position;
        if (count < Reply::kMaxWords - 1 && blank != std::u16string_view::npos) {
            length = blank - position;
        }
        reply.words[static_cast<std::size_t>(count)].assign(line.substr(position, length));
        position += length + 1;
        ++count;
    }
    reply.count = count;
    reply.params.parse(line);
    return count;
}

void zwolnij_odpowiedz(Reply& reply) {
    // Cleared rather than released: the next line reuses the words' storage.
    for (std::u16string& word : reply.words) {
        word.clear();
    }
    reply.count = 0;
    reply.params.clear();
    reply.tags.clear();
}

std::u16string_view sourceNick(std::u16string_view source) {
    return source.substr(0, source.find(u'!'));
}

std::u16string_view sourceUserHost(std::u16string_view source) {
    const std::size_t bang = source.find(u'!');
    return bang == std::u16string_view::npos ? std::u16string_view() : source.substr(bang + 1);
}

}  // namespace kolu
