#include "protocol/message_params.h"

#include "protocol/string_ops.h"

namespace kolu {

namespace {
const std::u16string kNoParameter;
}  // namespace

void MessageParams::parse(std::u16string_view line) {
    clear();
    std::size_t position = 0;
    if (!line.empty() && line.front() == u':') {
        position = NextWord(m_source, line, 1) + 1;
    }
    if (position >= line.size()) {
        return;
    }
    position = NextWord(m_command, line, position) + 1;
    while (position < line.size()) {
        std::u16string& parameter = nextParameter();
        if (line[position] == u':') {
            parameter.assign(line.substr(position + 1));
            return;
        }
        position = NextWord(parameter, line, position) + 1;
    }
}

void MessageParams::clear() {
    m_source.clear();
    m_command.clear();
    for (std::size_t i = 0; i < m_size; ++i) {
        m_params[i].clear();
    }
    m_size = 0;
}

std::u16string& MessageParams::nextParameter() {
    if (m_size == m_params.size()) {
        m_params.emplace_back();
    }
    return m_params[m_size++];
}

const std::u16string& MessageParams::operator[](std::size_t i) const {
    return i < m_size ? m_params[i] : kNoParameter;
}

std::u16string MessageParams::from(std::size_t i) const {
    std::u16string text;
    for (; i < m_size; ++i) {
        text += m_params[i];
        if (i + 1 < m_size) {
            text += u' ';
        }
    }
    return text;
}

}  // namespace kolu
