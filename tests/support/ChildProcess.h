#pragma once
// Runs a piece of a test in a forked child, so that a file-size limit, a dropped privilege or a kill
// cannot touch the test process itself. The child never returns into the test: it ends with _exit.

#include <sys/types.h>
#include <functional>
#include <optional>
#include <string>

namespace testchild {

struct Options {
    std::optional<long> fileSizeLimit;  // RLIMIT_FSIZE in bytes; SIGXFSZ is ignored so write() gets EFBIG
    bool dropToNobody = false;          // uid and gid 65534, no supplementary groups
};

// What the child did: its exit code (or the signal that ended it) and the text it reported.
struct Outcome {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;
    std::string report;
};

// Exit code of a child that could not take on its options (for example, not allowed to change user).
inline constexpr int kSetupFailed = 126;
// Exit code of a child whose body threw something.
inline constexpr int kBodyThrew = 125;

// The body returns the child's exit code and may write a line or two into report for the parent.
using Body = std::function<int(std::string& report)>;

class Child {
public:
    static Child Start(const Body& body, const Options& options = {});
    Child(Child&& other) noexcept;
    Child& operator=(Child&&) = delete;
    ~Child();  // kills and reaps a child still running

    pid_t pid() const { return pid_; }
    bool Kill(int signal);
    Outcome Wait();  // blocks until the child ends

private:
    Child(pid_t pid, int reportFd) : pid_(pid), reportFd_(reportFd) {}
    pid_t pid_ = -1;
    int reportFd_ = -1;
};

// Start and Wait in one.
Outcome RunInChild(const Body& body, const Options& options = {});

}  // namespace testchild
