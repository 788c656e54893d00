#include "core/safe_replace.h"

#include "core/file_name.h"
#include "core/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
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

Error WriteFailed(int error) {
    if (CauseOfErrno(error) == Cause::DiskFull) return {Cause::DiskFull, QStringLiteral("disk full")};
    return ErrorOfErrno(error, QStringLiteral("write failed"));
}

Error Exists() { return {Cause::ResultExists, QStringLiteral("exists (use --overwrite)")}; }

Error LinkAt(const QByteArray& name) {
    const QString shown = DecodeFileName(name);
    return {Cause::SymbolicLink, QStringLiteral("'%1' is a symbolic link").arg(shown), shown};
}

Error ReplacedWhileSaving() {
    return {Cause::ReplacedMeanwhile, QStringLiteral("the file was replaced by someone else while saving")};
}

Error CannotCreate(int error) {
    return ErrorOfErrno(error, QStringLiteral("cannot create a file in the folder"));
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

// Where a save writes: an open folder (not owned here) and a name in it.
struct Place {
    int folder = -1;
    QByteArray name;
};

// The folder of target, opened without following a link, and the name in it. A link as target is
// followed to the file it names, which is then replaced in place of the link.
Result<void> Locate(const QString& target, Fd& folder, QByteArray& name) {
    QByteArray path = EncodeFileName(target);
    if (path.isEmpty()) return Error{Cause::NoFileName, QStringLiteral("no file name")};
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.constData(), nullptr);
        if (!real) return Error{Cause::DanglingLink, QStringLiteral("a link to nothing")};
        path = real;
        ::free(real);
    }
    const qsizetype slash = path.lastIndexOf('/');
    name = path.mid(slash + 1);
    if (name.isEmpty()) return Error{Cause::NoFileName, QStringLiteral("no file name")};
    // The real folder holds no link; one that appears in its path now is refused, not followed.
    char* real = ::realpath(slash < 0 ? "." : slash == 0 ? "/" : path.left(slash).constData(), nullptr);
    if (!real) return Error{Cause::NoSuchFolder, QStringLiteral("no such folder")};
    folder.fd = ::open(real, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    ::free(real);
    if (folder.fd < 0) return Error{Cause::NoSuchFolder, QStringLiteral("no such folder")};
    return {};
}

// The file a save replaces, looked at without following a link that someone may have put there since.
struct OldFile {
    bool exists = false;
    struct stat st {};
    Fd fd;  // open for reading its attributes, when the user may
};

Result<void> LookAtOldFile(const Place& place, const ReplaceOptions& options, OldFile& old) {
    if (::fstatat(place.folder, place.name.constData(), &old.st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return {};
        return ErrorOfErrno(errno, QStringLiteral("cannot look at the file"));
    }
    old.exists = true;
    if (S_ISLNK(old.st.st_mode)) return LinkAt(place.name);
    if (!options.overwrite) return Exists();
    if (S_ISDIR(old.st.st_mode)) return Error{Cause::IsFolder, QStringLiteral("a folder")};
    if (!S_ISREG(old.st.st_mode)) return Error{Cause::NotRegularFile, QStringLiteral("not a regular file")};
    // A file nobody may write stands for a read-only file, as does one this user may not write.
    if ((old.st.st_mode & 0222) == 0) return Error{Cause::ReadOnly, QStringLiteral("read-only file")};
    if (::faccessat(place.folder, place.name.constData(), W_OK, AT_EACCESS) != 0)
        return Error{Cause::NoPermission, QStringLiteral("no permission to write the file")};
    old.fd.fd = ::openat(place.folder, place.name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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
    int listed = -1;  // in TemporaryFiles

    explicit Temporary(const Place& p) : place(p) {}
    ~Temporary() {
        TemporaryFiles::Forget(listed);
        // Removed only while the name is still the file made here.
        struct stat now {};
        if (!renamed && fd.fd >= 0 && ::fstatat(place.folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            SameFile(now, st))
            ::unlinkat(place.folder, name.constData(), 0);
    }
    bool StillOurs() const {
        struct stat now {};
        return ::fstatat(place.folder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, st);
    }
};

Result<void> Create(Temporary& temp, bool replacing) {
    // A file that replaces another starts private and takes the old mode later; a new file is created with
    // the mode any new file gets, umask and default ACL of the folder applied.
    const mode_t mode = replacing ? 0600 : 0666;
    // Listed before it is made, so that a process told to end meanwhile removes it; no handler of this
    // thread may run in between, since a removal waits for the listing to be done.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    struct Restore {
        sigset_t& before;
        ~Restore() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    } restore{before};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp.name = TemporaryName(temp.place.name);
        temp.listed = TemporaryFiles::Register(temp.place.folder, temp.name.constData());
        temp.fd.fd = ::openat(temp.place.folder, temp.name.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (temp.fd.fd >= 0) break;
        const int error = errno;
        TemporaryFiles::Forget(temp.listed);
        temp.listed = -1;
        if (error != EEXIST) return CannotCreate(error);
    }
    if (temp.fd.fd >= 0) TemporaryFiles::Made(temp.listed, temp.fd.fd);
    if (temp.fd.fd < 0 || ::fstat(temp.fd.fd, &temp.st) != 0)
        return CannotCreate(temp.fd.fd < 0 ? EEXIST : errno);
    // Held until the process ends or the file is renamed: a lock nobody holds marks one left by a crash.
    ::flock(temp.fd.fd, LOCK_EX);
    return {};
}

void TakeOverAttributes(const Temporary& temp, const OldFile& old, bool keepTimes) {
    // Owner first: changing it clears set-id bits, which are never passed on anyway. Only the superuser may
    // give a file away; anyone may give it a group they belong to.
    if (::fchown(temp.fd.fd, old.st.st_uid, old.st.st_gid) != 0) (void)::fchown(temp.fd.fd, uid_t(-1), old.st.st_gid);
    ::fchmod(temp.fd.fd, old.st.st_mode & 0777);
    // After the mode, since the access control list sets the group bits (its mask) itself.
    if (old.fd.fd >= 0) CopyExtendedAttributes(old.fd.fd, temp.fd.fd);
    // Last: the times are what the user sees of the old file in a listing. Linux cannot set a birth time.
    if (!keepTimes) return;
    const timespec times[2] = {old.st.st_atim, old.st.st_mtim};
    ::futimens(temp.fd.fd, times);
}

}  // namespace

Result<void> SafeReplaceAt(int folderFd, const QByteArray& name, QByteArrayView contents, ReplaceOptions options) {
    const Place place{folderFd, name};
    if (name.isEmpty() || name.contains('/')) return Error{Cause::NoFileName, QStringLiteral("no file name")};
    if (name.size() > NAME_MAX) return Error{Cause::NameTooLong, QStringLiteral("file name too long")};
    OldFile old;
    if (Result<void> looked = LookAtOldFile(place, options, old); !looked) return looked;

    Temporary temp(place);
    if (Result<void> created = Create(temp, old.exists); !created) return created;
    int error = 0;
    if (!WriteAll(temp.fd.fd, contents, error)) return WriteFailed(error);
    // Only a complete file on disk may replace the old one.
    if (::fsync(temp.fd.fd) != 0) return WriteFailed(errno);
    if (old.exists) TakeOverAttributes(temp, old, options.keepTimes);

    if (Hook()) Hook()(QStringLiteral("/proc/self/fd/%1/").arg(folderFd) + DecodeFileName(temp.name));
    if (!temp.StillOurs())
        return Error{Cause::ReplacedMeanwhile,
                     QStringLiteral("the temporary file was replaced by someone else")};
    // What is at the name now, looked at again: a link or a file that appeared since is never replaced
    // unasked; the rename itself replaces a name, never what a link there names.
    struct stat now {};
    const bool present = ::fstatat(folderFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (present && S_ISLNK(now.st_mode)) return LinkAt(name);
    if (present && old.exists && !SameFile(now, old.st)) return ReplacedWhileSaving();
    if (options.overwrite) {
        if (::renameat(folderFd, temp.name.constData(), folderFd, name.constData()) != 0) return WriteFailed(errno);
    } else if (::renameat2(folderFd, temp.name.constData(), folderFd, name.constData(), RENAME_NOREPLACE) != 0) {
        // A file system without the flag: a hard link is refused at an existing name just the same.
        if (errno == EINVAL && ::linkat(folderFd, temp.name.constData(), folderFd, name.constData(), 0) == 0)
            ::unlinkat(folderFd, temp.name.constData(), 0);
        else if (errno == EEXIST)
            return Exists();
        else
            return WriteFailed(errno);
    }
    temp.renamed = true;
    if (::fstatat(folderFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 || !SameFile(now, temp.st))
        return ReplacedWhileSaving();
    ::fsync(folderFd);
    return {};
}

Result<void> SafeReplace(const QString& target, QByteArrayView contents) {
    Fd folder;
    QByteArray name;
    if (Result<void> located = Locate(target, folder, name); !located) return located;
    return SafeReplaceAt(folder.fd, name, contents, {.overwrite = true, .keepTimes = true});
}

bool IsTemporaryFileName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\..*\\.tmp-[A-Za-z0-9]{6}$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern.match(ShownFileName(name)).hasMatch();  // a regular expression takes text only
}

void RemoveStaleTemporaryFiles(int folderFd) {
    const int listed = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return;
    DIR* dir = ::fdopendir(listed);
    if (!dir) {
        ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!IsTemporaryFileName(DecodeFileName(name))) continue;
        Fd file{::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
        struct stat opened {}, now {};
        // Only this user's own: another's file of a name like ours is theirs to remove.
        if (file.fd < 0 || ::fstat(file.fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != ::geteuid()) continue;
        // A writer holds its lock from the moment it made the file; while we hold it nobody writes.
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;
        if (::fstatat(folderFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, opened))
            ::unlinkat(folderFd, name.constData(), 0);
    }
    ::closedir(dir);
}

namespace testing {
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook) {
    TemporaryFileHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}
}  // namespace testing

}  // namespace core
