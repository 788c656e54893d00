#include "batch/output_folder.h"

#include "core/file_name.h"

#include <QDir>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace batch {

bool OutputFolderUsable(const QString& folder) {
    QByteArray path = core::EncodeFileName(QDir::cleanPath(folder.trimmed()));
    if (path.isEmpty()) return false;
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    // The folder itself, or the nearest one above it that exists, which the missing ones are made in.
    for (;;) {
        struct stat st {};
        if (::stat(path.constData(), &st) == 0) return S_ISDIR(st.st_mode) && ::access(path.constData(), W_OK | X_OK) == 0;
        if (errno != ENOENT) return false;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0) path = ".";
        else if (slash == 0) path = "/";
        else path.truncate(slash);
    }
}

}  // namespace batch
