#pragma once
// Whether a file was opened while the watch lived (Linux inotify), by any process: for checks that
// nothing reads a local file. Only for files no one else touches, such as one in a fresh temporary folder.

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <QFile>
#include <QString>

class OpenWatch {
public:
    explicit OpenWatch(const QString& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0 &&
            inotify_add_watch(fd_, QFile::encodeName(path).constData(), IN_OPEN | IN_ACCESS) < 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~OpenWatch() {
        if (fd_ >= 0) close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool watching() const { return fd_ >= 0; }
    bool opened() const {
        char events[4096];
        return read(fd_, events, sizeof events) > 0;
    }

private:
    int fd_;
};
