#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace testchild {

namespace {

bool TakeOn(const Options& options) {
    if (options.fileSizeLimit) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(*options.fileSizeLimit), rlim_t(*options.fileSizeLimit)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    }
    if (options.dropToNobody) {
        // Groups first: once the user id is gone, so is the right to change them.
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return false;
        if (::setuid(0) == 0) return false;  // the drop must be for good
    }
    return true;
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += std::size_t(n);
    }
}

}  // namespace

Child Child::Start(const Body& body, const Options& options) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid < 0) std::abort();
    if (pid == 0) {
        ::close(fds[0]);
        int code = kSetupFailed;
        std::string report;
        if (TakeOn(options)) {
            try {
                code = body(report);
            } catch (const std::exception& e) {
                report += std::string("threw: ") + e.what();
                code = kBodyThrew;
            } catch (...) {
                report += "threw something else";
                code = kBodyThrew;
            }
        } else {
            report = std::string("could not take on the options, errno ") + std::to_string(errno);
        }
        WriteAll(fds[1], report);
        // No exit handlers, no flushing of the parent's buffers, no leak report for a copy of the parent.
        ::_exit(code);
    }
    ::close(fds[1]);
    return Child(pid, fds[0]);
}

Child::Child(Child&& other) noexcept : pid_(other.pid_), reportFd_(other.reportFd_) {
    other.pid_ = -1;
    other.reportFd_ = -1;
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Wait();
    }
    if (reportFd_ >= 0) ::close(reportFd_);
}

bool Child::Kill(int signal) { return pid_ > 0 && ::kill(pid_, signal) == 0; }

Outcome Child::Wait() {
    Outcome outcome;
    if (pid_ <= 0) return outcome;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(reportFd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        outcome.report.append(buffer, std::size_t(n));
    }
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    outcome.exited = WIFEXITED(status);
    if (outcome.exited) outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

Outcome RunInChild(const Body& body, const Options& options) { return Child::Start(body, options).Wait(); }

}  // namespace testchild
