#include "platform/settings.h"

#include "core/unique_fd.h"

#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv {

namespace {

// The file is missing or a regular file (through a link too): opened without waiting, as a named pipe
// put there would make a plain open wait for a writer for ever.
bool MissingOrRegular(const QString& path) {
    const core::UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return errno == ENOENT;
    struct stat st {};
    return ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::unique_ptr<QSettings> Settings() {
    // Where QSettings puts a user's IniFormat file, looked at before QSettings reads it.
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/torv/torv-image-resize.ini");
    if (MissingOrRegular(path)) return std::make_unique<QSettings>(path, QSettings::IniFormat);
    // Anything else at its name (a pipe, a device, a folder) is left alone: the defaults, remembered nowhere.
    // /proc/self holds no file of ours and takes none, so nothing is read there and a write fails quietly.
    return std::make_unique<QSettings>(QStringLiteral("/proc/self/torv-image-resize.ini"), QSettings::IniFormat);
}

}  // namespace torv
