#pragma once
// The members of one channel who spoke lately, the latest first: nickname
// completion offers them before the rest of the channel. Only the last few are
// kept, so noting a speaker stays a short scan however busy the channel.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

class RecentSpeakers {
  public:
    static constexpr std::size_t kCapacity = 32;

    // Latest first, each as it last spoke (or was renamed to).
    const std::vector<std::u16string>& names() const { return m_names; }

    // `nickname` spoke: it moves to the front (case ignored when looking for it);
    // past the capacity the oldest goes.
    void note(std::u16string_view nickname);
    void forget(std::u16string_view nickname);
    // A renamed speaker keeps its place.
    void rename(std::u16string_view oldNickname, std::u16string_view newNickname);
    void clear() { m_names.clear(); }

  private:
    std::vector<std::u16string>::iterator find(std::u16string_view nickname);

    std::vector<std::u16string> m_names;
};

}  // namespace kolu
