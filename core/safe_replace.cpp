#include "core/safe_replace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace core {

namespace {

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

Error Refused(const QString& why) { return {errc::PathFileAccess, why}; }

Error WriteFailed(int error) {
    if (error == ENOSPC || error == EDQUOT || error == EFBIG) return {errc::DiskFull, QStringLiteral("disk full")};
    return {errc::DeviceIO, QStringLiteral("write failed: %1").arg(QString::fromLocal8Bit(strerror(error)))};
}

testing::TemporaryFileHook& Hook() {
    static testing::TemporaryFileHook hook;
    return hook;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// ".<name>.tmp-XXXXXX", the name cut where no UTF-8 letter is split when it leaves no room for the rest,
// so that the start still tells a person whose file it was.
QByteArray TemporaryName(QByteArray name) {
    constexpr int kRoom = NAME_MAX - int(sizeof(".tmp-XXXXXX") - 1) - 1;
    if (name.size() > kRoom) {
        int cut = kRoom;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.truncate(cut);
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(6, 'X');
    for (char& c : suffix) c = kLetters[QRandomGenerator::system()->bounded(int(sizeof kLetters - 1))];
    return '.' + name + ".tmp-" + suffix;
}

bool WriteAll(int fd, QByteArrayView bytes, int& error) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

// The extended attributes (user.*, and the access control list as system.posix_acl_access) of one open
// file onto another; those the user may not set are passed over.
void CopyExtendedAttributes(int from, int to) {
    ssize_t length = ::flistxattr(from, nullptr, 0);
    if (length <= 0) return;
    std::vector<char> names(static_cast<std::size_t>(length));
    length = ::flistxattr(from, names.data(), names.size());
    if (length <= 0) return;
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + length; name += std::strlen(name) + 1) {
        const ssize_t size = ::fgetxattr(from, name, nullptr, 0);
        if (size < 0) continue;
        value.resize(std::size_t(size));
        if (::fgetxattr(from, name, value.data(), value.size()) != size) continue;
        ::fsetxattr(to, name, value.data(), value.size(), 0);
    }
}

// What the target is: the folder it lies in, opened, and its name there. A link is followed to the file
// it names, which is then replaced in place of the link.
struct Place {
    Fd folder;
    QByteArray name;
    QByteArray path;  // for messages and the test hook
};

Result<void> Locate(const QString& target, Place& place) {
    QString path = target;
    const QFileInfo info(target);
    if (info.isSymLink()) {
        path = info.canonicalFilePath();
        if (path.isEmpty()) return Refused(QStringLiteral("a link to nothing"));
    }
    const QFileInfo resolved(path);
    const QByteArray folder = QFile::encodeName(resolved.absolutePath());
    place.name = QFile::encodeName(resolved.fileName());
    place.path = QFile::encodeName(resolved.absoluteFilePath());
    if (place.name.isEmpty()) return Refused(QStringLiteral("no file name"));
    if (place.name.size() > NAME_MAX) return Refused(QStringLiteral("file name too long"));
    place.folder.fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (place.folder.fd < 0) return Refused(QStringLiteral("no such folder"));
    return {};
}

// The file a save replaces, looked at without following a link that someone may have put there since.
struct OldFile {
    bool exists = false;
    struct stat st {};
    Fd fd;  // open for reading its attributes, when the user may
};

Result<void> LookAtOldFile(const Place& place, OldFile& old) {
    if (::fstatat(place.folder.fd, place.name.constData(), &old.st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return {};
        return Refused(QStringLiteral("cannot look at the file: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    }
    old.exists = true;
    if (S_ISDIR(old.st.st_mode)) return Refused(QStringLiteral("a folder"));
    if (!S_ISREG(old.st.st_mode)) return Refused(QStringLiteral("not a regular file"));
    // A file nobody may write stands for a read-only file, as does one this user may not write.
    if ((old.st.st_mode & 0222) == 0) return Refused(QStringLiteral("read-only file"));
    if (::faccessat(place.folder.fd, place.name.constData(), W_OK, AT_EACCESS) != 0)
        return Refused(QStringLiteral("no permission to write the file"));
    old.fd.fd = ::openat(place.folder.fd, place.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat opened {};
    if (old.fd.fd >= 0 && (::fstat(old.fd.fd, &opened) != 0 || !SameFile(opened, old.st))) {
        ::close(old.fd.fd);
        old.fd.fd = -1;
    }
    return {};
}

// The temporary file beside the target, made new (never an existing name, never through a link).
struct Temporary {
    const Place& place;
    QByteArray name;
    Fd fd;
    struct stat st {};
    bool renamed = false;

    explicit Temporary(const Place& p) : place(p) {}
    ~Temporary() {
        // Removed only while the name is still the file made here.
        struct stat now {};
        if (!renamed && fd.fd >= 0 && ::fstatat(place.folder.fd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(now, st))
            ::unlinkat(place.folder.fd, name.constData(), 0);
    }
    bool StillOurs() const {
        struct stat now {};
        return ::fstatat(place.folder.fd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, st);
    }
};

Result<void> Create(Temporary& temp, bool replacing) {
    // A file that replaces another starts private and takes the old mode later; a new file is created with
    // the mode any new file gets, umask and default ACL of the folder applied.
    const mode_t mode = replacing ? 0600 : 0666;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp.name = TemporaryName(temp.place.name);
        temp.fd.fd = ::openat(temp.place.folder.fd, temp.name.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (temp.fd.fd >= 0) break;
        if (errno != EEXIST) return Refused(QStringLiteral("cannot create a file in the folder: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    }
    if (temp.fd.fd < 0 || ::fstat(temp.fd.fd, &temp.st) != 0) return Refused(QStringLiteral("cannot create a file in the folder"));
    return {};
}

void TakeOverAttributes(const Temporary& temp, const OldFile& old) {
    // Owner first: changing it clears set-id bits, which are never passed on anyway. Only the superuser may
    // give a file away; anyone may give it a group they belong to.
    if (::fchown(temp.fd.fd, old.st.st_uid, old.st.st_gid) != 0) (void)::fchown(temp.fd.fd, uid_t(-1), old.st.st_gid);
    ::fchmod(temp.fd.fd, old.st.st_mode & 0777);
    // After the mode, since the access control list sets the group bits (its mask) itself.
    if (old.fd.fd >= 0) CopyExtendedAttributes(old.fd.fd, temp.fd.fd);
    // Last: the times are what the user sees of the old file in a listing. Linux cannot set a birth time.
    const timespec times[2] = {old.st.st_atim, old.st.st_mtim};
    ::futimens(temp.fd.fd, times);
}

}  // namespace

Result<void> SafeReplace(const QString& target, QByteArrayView contents) {
    Place place;
    if (Result<void> located = Locate(target, place); !located) return located;
    OldFile old;
    if (Result<void> looked = LookAtOldFile(place, old); !looked) return looked;

    Temporary temp(place);
    if (Result<void> created = Create(temp, old.exists); !created) return created;
    int error = 0;
    if (!WriteAll(temp.fd.fd, contents, error)) return WriteFailed(error);
    // Only a complete file on disk may replace the old one.
    if (::fsync(temp.fd.fd) != 0) return WriteFailed(errno);
    if (old.exists) TakeOverAttributes(temp, old);

    if (Hook()) Hook()(QFile::decodeName(place.path.left(place.path.size() - place.name.size()) + temp.name));
    if (!temp.StillOurs()) return Refused(QStringLiteral("the temporary file was replaced by someone else"));
    if (::renameat(place.folder.fd, temp.name.constData(), place.folder.fd, place.name.constData()) != 0)
        return WriteFailed(errno);
    temp.renamed = true;
    struct stat now {};
    if (::fstatat(place.folder.fd, place.name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(now, temp.st))
        return Refused(QStringLiteral("the file was replaced by someone else while saving"));
    ::fsync(place.folder.fd);
    return {};
}

bool IsTemporaryFileName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\..*\\.tmp-[A-Za-z0-9]{6}$"));
    return pattern.match(name).hasMatch();
}

namespace testing {
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook) {
    TemporaryFileHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}
}  // namespace testing

}  // namespace core
