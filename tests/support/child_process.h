#pragma once
// The servers the integration tests start: run in the foreground with their output in a file,
// never left behind (they die with the tests, and stop() reaps them), never dumping core.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace kolu::test {

// Who a program runs as: the tests' own user, or, with `drop`, another one.
struct RunAs {
    bool drop = false;
    uid_t uid = 0;
    gid_t gid = 0;
};
// "nobody" when the tests run as root (for programs that refuse or resent root), else no change.
RunAs nobodyWhenRoot();

// Starts args[0] (a full path) with no input and its output in `outputPath`; -1 when it can't.
pid_t startProgram(const std::vector<std::string>& args, const std::string& outputPath,
                   const RunAs& runAs = {});
enum class Wait { Seen, Exited, TimedOut };
// Until `done` holds, `pid` ends (it is then reaped, and becomes -1) or five seconds pass.
Wait waitUntil(pid_t& pid, const std::function<bool()>& done);

// SIGTERM, SIGKILL after 3 seconds, reaped; `pid` becomes -1. Does nothing for -1.
void stopProgram(pid_t& pid);

}  // namespace kolu::test
