#include "core/safe_replace.h"

#include "core/file_name.h"
#include "core/temporary_files.h"
#include "core/unique_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QRandomGenerator>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

namespace core {

namespace {

// The mark every named temporary file of this program carries before its random letters.
constexpr char kMark[] = ".torv-tmp-";
constexpr int kRandomLetters = 8;

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

void CallHook(testing::Moment moment, int folderFd, const QByteArray& name) {
    if (Hook()) Hook()(moment, QStringLiteral("/proc/self/fd/%1/").arg(folderFd) + DecodeFileName(name));
}

testing::FileSystemGaps& Gaps() {
    static testing::FileSystemGaps gaps;
    return gaps;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether name in the folder is still the file st describes, looked at without following a link.
bool StillThere(int folderFd, const QByteArray& name, const struct stat& st) {
    struct stat now {};
    return ::fstatat(folderFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, st);
}

// The errors of a file system that lacks a way of adding a name, as opposed to one that refuses this name.
bool Unsupported(int error) {
    return error == EINVAL || error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

// The system calls whose support differs between file systems, with the gaps tests pretend.
int OpenUnnamed(int folderFd, mode_t mode) {
    // A file without a name gets one by a link: a file system without links has none.
    if (Gaps().unnamedFiles || Gaps().exclusiveLinks) return errno = EOPNOTSUPP, -1;
    return ::openat(folderFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
}

int RenameNoReplace(int folderFd, const QByteArray& from, const QByteArray& to) {
    if (Gaps().exclusiveLinks) return errno = EINVAL, -1;
    return ::renameat2(folderFd, from.constData(), folderFd, to.constData(), RENAME_NOREPLACE);
}

int Link(int folderFd, const QByteArray& from, const QByteArray& to) {
    if (Gaps().exclusiveLinks) return errno = EPERM, -1;
    return ::linkat(folderFd, from.constData(), folderFd, to.constData(), 0);
}

// Gives an open file without a name the name, never replacing one. Through /proc without privileges;
// AT_EMPTY_PATH where /proc is not mounted (it needs CAP_DAC_READ_SEARCH). Neither way open is as
// good as a file system without links.
int LinkUnnamed(int fd, int folderFd, const QByteArray& name) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, path, folderFd, name.constData(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return -1;
    if (::linkat(fd, "", folderFd, name.constData(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == ENOENT) errno = EOPNOTSUPP;
    return -1;
}

int CreateExclusively(int folderFd, const QByteArray& name, mode_t mode) {
    if (Gaps().exclusiveCreate) return errno = EPERM, -1;
    return ::openat(folderFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

// ".<name>.torv-tmp-XXXXXXXX", the name cut where no UTF-8 letter is split when it leaves no room for the
// rest, so that the start still tells a person whose file it was.
QByteArray TemporaryName(QByteArray name) {
    constexpr int kRoom = NAME_MAX - int(sizeof kMark - 1) - kRandomLetters - 1;
    if (name.size() > kRoom) {
        int cut = kRoom;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.truncate(cut);
    }
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(kRandomLetters, 'X');
    for (char& c : suffix) c = kLetters[QRandomGenerator::system()->bounded(int(sizeof kLetters - 1))];
    return '.' + name + kMark + suffix;
}

// Whether a name has the mark of this program's temporary files: ".", a name, the mark, random letters.
bool Marked(QByteArrayView name) {
    const qsizetype mark = name.size() - kRandomLetters - qsizetype(sizeof kMark - 1);
    if (mark < 2 || !name.startsWith('.') || name.sliced(mark, sizeof kMark - 1) != kMark) return false;
    const auto letter = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
    return std::all_of(name.end() - kRandomLetters, name.end(), letter);
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

// The folder of target, opened without following a link, and the name in it. A link as target is
// followed to the file it names, which is then replaced in place of the link.
Result<void> Locate(const QString& target, UniqueFd& folder, QByteArray& name) {
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
    folder.reset(::open(real, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    ::free(real);
    if (!folder.valid()) return Error{Cause::NoSuchFolder, QStringLiteral("no such folder")};
    return {};
}

// The file a save replaces, looked at without following a link that someone may have put there since.
struct OldFile {
    bool exists = false;
    struct stat st {};
    UniqueFd fd;  // open for reading its attributes, when the user may
};

Result<void> LookAtOldFile(int folderFd, const QByteArray& name, const ReplaceOptions& options,
                           OldFile& old) {
    if (::fstatat(folderFd, name.constData(), &old.st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return {};
        return ErrorOfErrno(errno, QStringLiteral("cannot look at the file"));
    }
    old.exists = true;
    if (S_ISLNK(old.st.st_mode)) return LinkAt(name);
    if (!options.overwrite) return Exists();
    if (S_ISDIR(old.st.st_mode)) return Error{Cause::IsFolder, QStringLiteral("a folder")};
    if (!S_ISREG(old.st.st_mode)) return Error{Cause::NotRegularFile, QStringLiteral("not a regular file")};
    // A file nobody may write stands for a read-only file, as does one this user may not write.
    if ((old.st.st_mode & 0222) == 0) return Error{Cause::ReadOnly, QStringLiteral("read-only file")};
    if (::faccessat(folderFd, name.constData(), W_OK, AT_EACCESS) != 0)
        return Error{Cause::NoPermission, QStringLiteral("no permission to write the file")};
    old.fd.reset(
        ::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat opened {};
    if (old.fd.valid() && (::fstat(old.fd.get(), &opened) != 0 || !SameFile(opened, old.st))) old.fd.reset();
    return {};
}

// Gives name in the open folder to a new file of this process through make, which returns the file's
// descriptor (-1 and errno when it fails), listing the name in TemporaryFiles from just before, so that a
// process told to end at once removes it. Signals wait in this thread meanwhile: a removal waits for a
// listing under way, and must not be this thread's own handler. slot: the listing, -1 for none.
template <class Make>
int MakeListed(int folderFd, const QByteArray& name, int& slot, Make make) {
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    slot = TemporaryFiles::Register(folderFd, name.constData());
    const int fd = make();
    const int error = errno;
    if (fd >= 0) {
        TemporaryFiles::Made(slot, fd);
    } else {
        TemporaryFiles::Forget(slot);
        slot = -1;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

// The file the contents go into: one without a name where the file system has them, else a new one of a
// marked name beside the target (never an existing name, never through a link).
struct Temporary {
    explicit Temporary(int folderFd) : folder(folderFd) {}
    int folder;
    UniqueFd fd;
    struct stat st {};
    QByteArray name;       // empty while the file has none
    bool renamed = false;  // the name went to the target
    int listed = -1;       // its name's place in TemporaryFiles

    ~Temporary() {
        TemporaryFiles::Forget(listed);
        // Removed only while the name is still the file made here.
        if (!renamed && !name.isEmpty() && StillThere(folder, name, st))
            ::unlinkat(folder, name.constData(), 0);
    }
};

Result<void> Create(Temporary& temp, const QByteArray& target, bool replacing) {
    // A file that replaces another starts private and takes the old mode later; a new file is created with
    // the mode any new file gets, umask and default ACL of the folder applied.
    const mode_t mode = replacing ? 0600 : 0666;
    temp.fd.reset(OpenUnnamed(temp.folder, mode));
    if (!temp.fd.valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return CannotCreate(errno);
        for (int attempt = 0; attempt < 100 && !temp.fd.valid(); ++attempt) {
            const QByteArray name = TemporaryName(target);
            temp.fd.reset(MakeListed(temp.folder, name, temp.listed, [&] {
                return ::openat(temp.folder, name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            }));
            if (temp.fd.valid())
                temp.name = name;
            else if (errno != EEXIST)
                return CannotCreate(errno);
        }
        if (!temp.fd.valid()) return CannotCreate(EEXIST);
    }
    if (::fstat(temp.fd.get(), &temp.st) != 0) return CannotCreate(errno);
    // Until the lock below, a sweep passes over the named file for its age.
    if (!temp.name.isEmpty()) CallHook(testing::Moment::Created, temp.folder, temp.name);
    // Held until the process ends: a lock nobody holds marks a file left by a process that died.
    ::flock(temp.fd.get(), LOCK_EX);
    return {};
}

// A replace renames, and only a name can be renamed: the unnamed file gets a marked one.
Result<void> GiveName(Temporary& temp, const QByteArray& target) {
    for (int attempt = 0; attempt < 100 && temp.name.isEmpty(); ++attempt) {
        const QByteArray name = TemporaryName(target);
        const auto link = [&] {
            return LinkUnnamed(temp.fd.get(), temp.folder, name) == 0 ? temp.fd.get() : -1;
        };
        if (MakeListed(temp.folder, name, temp.listed, link) >= 0)
            temp.name = name;
        else if (errno != EEXIST)
            return CannotCreate(errno);
    }
    if (temp.name.isEmpty()) return CannotCreate(EEXIST);
    return {};
}

// Neither a rename that replaces nothing nor a link (FAT, phones, some shares): the target's name is made
// exclusively and the contents written into it. Half a file there is removed, being provably the one made
// here. written: what the name holds then.
Result<void> WriteNewFile(int folderFd, const QByteArray& name, QByteArrayView contents,
                          struct stat& written) {
    // Listed while it is being written: half a file is removed by a process told to end at once too.
    int listed = -1;
    const UniqueFd fd(
        MakeListed(folderFd, name, listed, [&] { return CreateExclusively(folderFd, name, 0666); }));
    const struct Forget {
        int& slot;
        ~Forget() { TemporaryFiles::Forget(slot); }
    } forget{listed};
    if (!fd.valid() && errno == EEXIST) return Exists();
    if (!fd.valid() && Unsupported(errno))
        return Error{Cause::NoExclusiveCreate,
                     QStringLiteral("this file system cannot add a file without risking "
                                    "one already there; use --overwrite or another disk")};
    if (!fd.valid()) return CannotCreate(errno);
    const bool known = ::fstat(fd.get(), &written) == 0;
    int error = known ? 0 : errno;
    if (known && WriteAll(fd.get(), contents, error) && ::fsync(fd.get()) == 0) return {};
    if (error == 0) error = errno;
    if (known && StillThere(folderFd, name, written)) ::unlinkat(folderFd, name.constData(), 0);
    return WriteFailed(error);
}

// Gives the finished file the target's name unless a file has it by now. written: what the name holds then.
Result<void> AddName(Temporary& temp, const QByteArray& target, QByteArrayView contents,
                     struct stat& written) {
    written = temp.st;
    if (temp.name.isEmpty()) {
        if (LinkUnnamed(temp.fd.get(), temp.folder, target) == 0) return {};
    } else if (RenameNoReplace(temp.folder, temp.name, target) == 0) {
        temp.renamed = true;
        return {};
    } else if (Unsupported(errno) && Link(temp.folder, temp.name, target) == 0) {
        // A hard link is refused at an existing name just the same; the temporary name goes with temp.
        return {};
    }
    if (errno == EEXIST) return Exists();
    if (!Unsupported(errno)) return WriteFailed(errno);
    return WriteNewFile(temp.folder, target, contents, written);
}

void TakeOverAttributes(const Temporary& temp, const OldFile& old, bool keepTimes) {
    const int fd = temp.fd.get();
    // Owner first: changing it clears set-id bits, which are never passed on anyway. Only the superuser may
    // give a file away; anyone may give it a group they belong to.
    if (::fchown(fd, old.st.st_uid, old.st.st_gid) != 0) (void)::fchown(fd, uid_t(-1), old.st.st_gid);
    ::fchmod(fd, old.st.st_mode & 0777);
    // After the mode, since the access control list sets the group bits (its mask) itself.
    if (old.fd.valid()) CopyExtendedAttributes(old.fd.get(), fd);
    // Last: the times are what the user sees of the old file in a listing. Linux cannot set a birth time.
    if (!keepTimes) return;
    const timespec times[2] = {old.st.st_atim, old.st.st_mtim};
    ::futimens(fd, times);
}

// Whether a process holds a lock on the open file: a flock, or a record lock (fcntl, lockf) of any
// process, this one included. The flock taken here keeps a writer from starting on it meanwhile.
bool Locked(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return true;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        if (::fcntl(fd, F_GETLK, &probe) != 0) return true;  // cannot tell: left alone
    }
    return probe.l_type != F_UNLCK;
}

}  // namespace

Result<void> SafeReplaceAt(int folderFd, const QByteArray& name, QByteArrayView contents,
                           ReplaceOptions options) {
    if (name.isEmpty() || name.contains('/')) return Error{Cause::NoFileName, QStringLiteral("no file name")};
    if (name.size() > NAME_MAX) return Error{Cause::NameTooLong, QStringLiteral("file name too long")};
    OldFile old;
    if (Result<void> looked = LookAtOldFile(folderFd, name, options, old); !looked) return looked;

    Temporary temp(folderFd);
    if (Result<void> created = Create(temp, name, old.exists); !created) return created;
    int error = 0;
    if (!WriteAll(temp.fd.get(), contents, error)) return WriteFailed(error);
    // Only a complete file on disk may replace the old one.
    if (::fsync(temp.fd.get()) != 0) return WriteFailed(errno);
    if (old.exists) TakeOverAttributes(temp, old, options.keepTimes);
    if (options.overwrite)
        if (Result<void> named = GiveName(temp, name); !named) return named;

    if (!temp.name.isEmpty()) {
        CallHook(testing::Moment::Written, folderFd, temp.name);
        if (!StillThere(folderFd, temp.name, temp.st))
            return Error{Cause::ReplacedMeanwhile,
                         QStringLiteral("the temporary file was replaced by someone else")};
    }
    // What is at the name now, looked at again: a link or a file that appeared since is never replaced
    // unasked; the rename itself replaces a name, never what a link there names.
    struct stat now {};
    const bool present = ::fstatat(folderFd, name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (present && S_ISLNK(now.st_mode)) return LinkAt(name);
    if (present && old.exists && !SameFile(now, old.st)) return ReplacedWhileSaving();
    struct stat written = temp.st;
    if (options.overwrite) {
        if (::renameat(folderFd, temp.name.constData(), folderFd, name.constData()) != 0) return WriteFailed(errno);
        temp.renamed = true;
    } else if (Result<void> added = AddName(temp, name, contents, written); !added) {
        return added;
    }
    if (!StillThere(folderFd, name, written)) return ReplacedWhileSaving();
    ::fsync(folderFd);
    return {};
}

Result<void> SafeReplace(const QString& target, QByteArrayView contents) {
    UniqueFd folder;
    QByteArray name;
    if (Result<void> located = Locate(target, folder, name); !located) return located;
    return SafeReplaceAt(folder.get(), name, contents, {.overwrite = true, .keepTimes = true});
}

bool IsTemporaryFileName(const QString& name) { return Marked(EncodeFileName(name)); }

void RemoveStaleTemporaryFiles(int folderFd, int minimumAgeSeconds) {
    UniqueFd listed(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listed.valid() ? ::fdopendir(listed.get()) : nullptr;
    if (!dir) return;
    listed.release();
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!Marked(name)) continue;
        const UniqueFd file(
            ::openat(folderFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat st {};
        // Only this user's own file of one name: another's file of a name like ours is theirs to remove.
        if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || st.st_nlink != 1)
            continue;
        // A writer that has just made its file may not hold its lock yet; a stale file has long been still.
        if (st.st_ctim.tv_sec > now.tv_sec - minimumAgeSeconds || Locked(file.get())) continue;
        if (StillThere(folderFd, name, st)) ::unlinkat(folderFd, name.constData(), 0);
    }
    ::closedir(dir);
}

namespace testing {
TemporaryFileHook SetTemporaryFileHook(TemporaryFileHook hook) {
    TemporaryFileHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

FileSystemGaps PretendFileSystemGaps(FileSystemGaps gaps) { return std::exchange(Gaps(), gaps); }
}  // namespace testing

}  // namespace core
