#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>

namespace platform {

namespace {

QByteArray FolderOf(const QByteArray& path) {
    const int slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    if (slash == 0) return QByteArrayLiteral("/");
    return path.left(slash);
}

timespec FromStatx(const struct statx_timestamp& t) { return timespec{t.tv_sec, long(t.tv_nsec)}; }

}  // namespace

FileInfo LookUpFile(const QByteArray& path) {
    FileInfo info;
    struct stat link {};
    if (::lstat(path.constData(), &link) != 0) return info;
    info.isSymLink = S_ISLNK(link.st_mode);
    struct statx sx {};
    if (::statx(AT_FDCWD, path.constData(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        // A dangling link: the name exists but names nothing that can be replaced in place.
        info.exists = true;
        return info;
    }
    info.exists = true;
    info.isDirectory = S_ISDIR(sx.stx_mode);
    info.mode = sx.stx_mode & 07777;
    info.owner = sx.stx_uid;
    info.group = sx.stx_gid;
    info.accessed = FromStatx(sx.stx_atime);
    info.modified = FromStatx(sx.stx_mtime);
    info.hasCreated = (sx.stx_mask & STATX_BTIME) != 0;
    if (info.hasCreated) info.created = FromStatx(sx.stx_btime);
    return info;
}

bool MayWrite(const QByteArray& path) { return ::access(path.constData(), W_OK) == 0; }

bool SetFileTimes(const QByteArray& path, const timespec& accessed, const timespec& modified) {
    const timespec times[2] = {accessed, modified};
    return ::utimensat(AT_FDCWD, path.constData(), times, 0) == 0;
}

bool SetFileMode(const QByteArray& path, std::uint32_t mode) {
    return ::chmod(path.constData(), mode_t(mode & 07777)) == 0;
}

bool SetFileOwner(const QByteArray& path, std::uint32_t owner, std::uint32_t group) {
    if (::chown(path.constData(), uid_t(owner), gid_t(group)) == 0) return true;
    return ::chown(path.constData(), uid_t(-1), gid_t(group)) == 0;
}

std::uint32_t NewFileMode() {
    // umask can only be read by setting it; the program has one thread, so the swap is not observable.
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666u & ~std::uint32_t(mask);
}

QByteArray CreateTempFileBeside(const QByteArray& target) {
    const int slash = target.lastIndexOf('/');
    QByteArray name = target.mid(slash + 1);
    // A long name that is itself allowed must still leave room for the dot and the suffix; it is cut
    // where no UTF-8 letter is split, so the start of the name still tells a person whose file it was.
    constexpr int kRoom = NAME_MAX - int(sizeof(".tmp-XXXXXX") - 1) - 1;
    if (name.size() > kRoom) {
        int cut = kRoom;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.truncate(cut);
    }
    QByteArray temp = (slash < 0 ? QByteArray() : target.left(slash + 1)) + '.' + name + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return {};
    ::close(fd);
    return temp;
}

bool RenameFile(const QByteArray& from, const QByteArray& to) {
    return std::rename(from.constData(), to.constData()) == 0;
}

bool RemoveFile(const QByteArray& path) { return ::unlink(path.constData()) == 0; }

bool SyncFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

bool SyncFolderOf(const QByteArray& path) {
    const int fd = ::open(FolderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace platform
