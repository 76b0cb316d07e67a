#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace kolu::test {

RunAs nobodyWhenRoot() {
    if (::geteuid() != 0) {
        return {};
    }
    const passwd* nobody = ::getpwnam("nobody");
    return {true, nobody ? nobody->pw_uid : 65534, nobody ? nobody->pw_gid : 65534};
}

pid_t startProgram(const std::vector<std::string>& args, const std::string& outputPath,
                   const RunAs& runAs) {
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int outFd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int nullFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = ::getpid();
    const pid_t pid = outFd < 0 || nullFd < 0 ? -1 : ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec. The death signal is set after
        // the change of user, which clears it.
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (runAs.drop && (::setgroups(0, nullptr) != 0 || ::setgid(runAs.gid) != 0 ||
                           ::setuid(runAs.uid) != 0)) {
            ::_exit(125);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        ::dup2(nullFd, STDIN_FILENO);
        ::dup2(outFd, STDOUT_FILENO);
        ::dup2(outFd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    for (const int fd : {outFd, nullFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    return pid;
}

Wait waitUntil(pid_t& pid, const std::function<bool()>& done) {
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);;) {
        if (done()) {
            return Wait::Seen;
        }
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return done() ? Wait::Seen : Wait::Exited;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return Wait::TimedOut;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void stopProgram(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid = -1;
}

}  // namespace kolu::test
