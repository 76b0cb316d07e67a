#pragma once
// The members of one channel, shown beside the channel's text view: every
// channel tab owns one. The model (names, channel status, order) arrives with
// the user-list work; until then a channel tab owns an empty list.

namespace kolu {

class UserList {
  public:
    UserList() = default;
    UserList(const UserList&) = delete;
    UserList& operator=(const UserList&) = delete;
};

}  // namespace kolu
