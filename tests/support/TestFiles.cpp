#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>

namespace testfiles {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
    return bytes;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

FileSizeLimit::FileSizeLimit(long bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &previous_) != 0) return;
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    signalIgnored_ = true;
    const rlimit limit{rlim_t(bytes), previous_.rlim_max};  // the hard limit stays, so the old one comes back
    active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    if (active_) ::setrlimit(RLIMIT_FSIZE, &previous_);
    if (signalIgnored_) std::signal(SIGXFSZ, previousHandler_);
}

}  // namespace testfiles
