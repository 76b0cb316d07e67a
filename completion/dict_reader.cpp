#include "completion/dict_reader.h"

#include <algorithm>
#include <cerrno>

namespace kolu {

std::u16string_view dictDamageText(DictDamage damage) {
    switch (damage) {
        case DictDamage::None:
            return u"dict.dat is sound";
        case DictDamage::ShortHeader:
            return u"dict.dat shorter than its header";
        case DictDamage::BrokenTail:
            return u"dict.dat ends inside a word";
        case DictDamage::LinkOutside:
            return u"dict.dat link outside the records";
        case DictDamage::LinkMisaligned:
            return u"dict.dat link into a record";
        case DictDamage::LinkBackward:
            return u"dict.dat link pointing back";
        case DictDamage::EndlessWord:
            return u"dict.dat word without an end";
    }
    return u"dict.dat damaged";
}

void DictReader::noteDamage(DictDamage damage) {
    if (m_damage == DictDamage::None) {
        m_damage = damage;
    }
}

bool DictReader::record(std::uint32_t offset, DictRecord& out) {
    if (std::uint64_t{offset} + kDictRecordBytes > m_size) {
        return false;
    }
    const bool inWindow = offset >= m_windowStart && std::uint64_t{offset} + kDictRecordBytes <=
                                                         m_windowStart + m_windowLength;
    if (!inWindow) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(kDictWindowBytes, m_size - offset));
        std::size_t got = 0;
        const int rc = m_store.readAt(offset, m_window.data(), want, got);
        if (rc != 0 || got < kDictRecordBytes) {
            // A file that shrank under us reads short: that is a failed read too.
            if (m_readError == 0) {
                m_readError = rc != 0 ? rc : EIO;
            }
            m_windowLength = 0;
            return false;
        }
        m_windowStart = offset;
        m_windowLength = got;
    }
    const unsigned char* p = m_window.data() + (offset - m_windowStart);
    out.next = dictLoad32(p);
    out.ch = p[4];
    return true;
}

bool DictReader::enter(std::uint32_t offset, DictRecord& out) {
    if (const DictDamage damage = dictCheckTarget(m_size, offset); damage != DictDamage::None) {
        noteDamage(damage);
        return false;
    }
    return record(offset, out);
}

bool DictReader::follow(std::uint32_t from, std::uint32_t next, DictRecord& out) {
    if (next == 0) {
        return false;
    }
    if (const DictDamage damage = dictCheckNext(m_size, from, next); damage != DictDamage::None) {
        noteDamage(damage);
        return false;
    }
    return record(next, out);
}

bool DictReader::child(std::uint32_t offset, DictRecord& out) {
    const std::uint64_t at = std::uint64_t{offset} + kDictRecordBytes;
    if (at + kDictRecordBytes > m_size) {
        noteDamage(DictDamage::EndlessWord);
        return false;
    }
    return record(static_cast<std::uint32_t>(at), out);
}

}  // namespace kolu
