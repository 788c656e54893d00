#pragma once
// Small file chores of tests that check what a save left on disk.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <sys/resource.h>
#include <csignal>

namespace testfiles {

// The file's bytes; a null array when it cannot be read.
QByteArray ReadBytes(const QString& path);
// Writes bytes as the whole file and returns them, so a test can keep them for comparison; a null array
// when the file cannot be written.
QByteArray WriteBytes(const QString& path, const QByteArray& bytes);
// The names of the files in a folder, hidden ones included: a temporary file left behind shows up here.
QStringList FilesIn(const QString& folder);

// While alive, no file of this process may grow past the limit, so to a save the disk seems full: write()
// fails with EFBIG (its signal is ignored meanwhile). In the process itself, not a forked child: Qt's
// painting waits for pool threads that a child of a process which has painted before would lack.
// Logging into a regular file larger than the limit loses the lines written meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = SIG_DFL;
    bool signalIgnored_ = false;
    bool active_ = false;
};

}  // namespace testfiles
