#pragma once
// Whether a file was opened while the watch lived (inotify): for checks that nothing reads a local file.
// Any process counts, so watch a file no one else touches, such as one in a fresh temporary folder.

#include <sys/inotify.h>
#include <unistd.h>
#include <QFile>

class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        watching_ = inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN) >= 0;
    }
    ~OpenWatch() { close(fd_); }
    bool watching() const { return watching_; }
    bool opened() const {
        char events[4096];
        return read(fd_, events, sizeof events) > 0;
    }

private:
    int fd_;
    bool watching_;
};
