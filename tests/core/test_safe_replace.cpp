// SafeReplace: a replaced file keeps what the user set on it and nothing it should not; every refusal and
// every failure half-way (a full disk, a kill, a swapped temporary file) leaves the old file as it was.
#include "core/safe_replace.h"
#include "core/temporary_files.h"

#include "core/unique_fd.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <climits>
#include <optional>

namespace {

struct stat Stat(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

void Chmod(const QString& path, mode_t mode) { ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0); }

class SafeReplaceTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;

    void TearDown() override { ::chmod(QFile::encodeName(dir_.path()).constData(), 0700); }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QByteArray Keep(const QString& name, const QByteArray& bytes = "the user's own picture") const {
        return testfiles::WriteBytes(Path(name), bytes);
    }
    QByteArray Read(const QString& name) const { return testfiles::ReadBytes(Path(name)); }
    QStringList Names() const { return testfiles::FilesIn(dir_.path()); }
    // 0 when saved, else Code(the cause): an exit code too, for writes in a child process.
    int ErrorOf(const QString& name, const QByteArray& contents = "new") const {
        const core::Result<void> r = core::SafeReplace(Path(name), contents);
        if (r) return 0;
        EXPECT_FALSE(r.error().detail.isEmpty());
        return Code(r.error().cause);
    }
    static int Code(core::Cause cause) { return 1 + int(cause); }
    core::UniqueFd Folder() const {
        return core::UniqueFd(
            ::open(QFile::encodeName(dir_.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    // Folders and links too, which Names leaves out.
    QStringList Everything() const {
        return QDir(dir_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

// File system gaps pretended for one test.
class Pretend {
public:
    explicit Pretend(core::testing::FileSystemGaps gaps)
        : previous_(core::testing::PretendFileSystemGaps(gaps)) {}
    ~Pretend() { core::testing::PretendFileSystemGaps(previous_); }

private:
    core::testing::FileSystemGaps previous_;
};

class Hooked {
public:
    explicit Hooked(core::testing::TemporaryFileHook hook)
        : previous_(core::testing::SetTemporaryFileHook(std::move(hook))) {}
    ~Hooked() { core::testing::SetTemporaryFileHook(previous_); }

private:
    core::testing::TemporaryFileHook previous_;
};

TEST_F(SafeReplaceTest, AReplacedFileKeepsModeTimesAndOwnerButNoSetIdBits) {
    // The superuser saving over a user's picture must not take it from them; anyone else can at least
    // keep a group they belong to.
    uid_t owner = ::geteuid();
    gid_t group = ::getegid();
    if (::geteuid() == 0) {
        owner = group = 65534;
    } else {
        gid_t groups[64];
        const int n = ::getgroups(64, groups);
        for (int i = 0; i < n; ++i)
            if (groups[i] != ::getegid()) group = groups[i];
    }
    const struct {
        const char* name;
        mode_t mode;
        mode_t kept;
    } cases[] = {{"plain.jpg", 0640, 0640}, {"shared.jpg", 0664, 0664}, {"setid.jpg", 06775, 0775}};
    for (const auto& c : cases) {
        Keep(c.name);
        const QByteArray name = QFile::encodeName(Path(c.name));
        ASSERT_EQ(::chown(name.constData(), owner, group), 0);
        Chmod(Path(c.name), c.mode);
        const timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
        ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);

        ASSERT_TRUE(core::SafeReplace(Path(c.name), "new contents").ok()) << c.name;
        const struct stat now = Stat(Path(c.name));
        EXPECT_EQ(Read(c.name), "new contents");
        EXPECT_EQ(now.st_mode & 07777, c.kept) << c.name;
        EXPECT_EQ(now.st_uid, owner) << c.name;
        EXPECT_EQ(now.st_gid, group) << c.name;
        EXPECT_EQ(now.st_mtim.tv_sec, times[1].tv_sec);
        EXPECT_EQ(now.st_mtim.tv_nsec, times[1].tv_nsec);
        EXPECT_EQ(now.st_atim.tv_sec, times[0].tv_sec);
    }
    EXPECT_EQ(Names().size(), 3);  // no temporary file left
}

TEST_F(SafeReplaceTest, ANewFileGetsTheUsualModeAndFreshTimes) {
    const mode_t mask = ::umask(022);  // the test's own process: nothing else runs
    ::umask(mask);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(core::SafeReplace(Path("new.jpg"), "x").ok());
    const struct stat st = Stat(Path("new.jpg"));
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
    EXPECT_GE(st.st_mtim.tv_sec, before - 1);
}

// Extended attributes and the access control list (system.posix_acl_access) go onto the new file, so
// that what the user allowed others stays allowed, and no more.
TEST_F(SafeReplaceTest, ExtendedAttributesAndTheAccessListSurvive) {
    Keep("tagged.jpg");
    const QByteArray name = QFile::encodeName(Path("tagged.jpg"));
    Chmod(Path("tagged.jpg"), 0640);
    if (::setxattr(name.constData(), "user.xdg.comment", "Tatil", 5, 0) != 0)
        GTEST_SKIP() << "the file system takes no user attributes";
    // user::rw- user:65534:rw- group::r-- mask::rw- other::---
    const QByteArray acl = QByteArray::fromHex(
        "02000000"
        "01000600ffffffff"
        "02000600feff0000"
        "04000400ffffffff"
        "10000600ffffffff"
        "20000000ffffffff");
    const bool withAcl = ::setxattr(name.constData(), "system.posix_acl_access", acl.constData(), acl.size(), 0) == 0;

    ASSERT_TRUE(core::SafeReplace(Path("tagged.jpg"), "new").ok());
    char value[64] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.xdg.comment", value, sizeof value), 5);
    EXPECT_STREQ(value, "Tatil");
    if (withAcl) {
        QByteArray now(256, '\0');
        const ssize_t n = ::getxattr(name.constData(), "system.posix_acl_access", now.data(), now.size());
        EXPECT_EQ(now.first(n > 0 ? n : 0), acl);
        EXPECT_EQ(Stat(Path("tagged.jpg")).st_mode & 0777, 0660u);  // the mask shows as the group's bits
    }
}

TEST_F(SafeReplaceTest, ALinkedTargetIsReplacedBehindTheLink) {
    Keep("real.jpg", "old");
    ASSERT_TRUE(QFile::link(Path("real.jpg"), Path("link.jpg")));
    ASSERT_TRUE(core::SafeReplace(Path("link.jpg"), "new").ok());
    EXPECT_TRUE(QFileInfo(Path("link.jpg")).isSymLink());
    EXPECT_EQ(Read("real.jpg"), "new");
}

TEST_F(SafeReplaceTest, RefusalsTouchNothing) {
    const QByteArray locked = Keep("locked.jpg", "read-only");
    Chmod(Path("locked.jpg"), 0444);
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0666), 0);
    ASSERT_TRUE(QFile::link(Path("nothing"), Path("dangling.jpg")));
    const QStringList before = Names();

    const std::pair<QString, core::Cause> refusals[] = {
        {QStringLiteral("locked.jpg"), core::Cause::ReadOnly},  // root included
        {QStringLiteral("folder.jpg"), core::Cause::IsFolder},
        {QStringLiteral("pipe.jpg"), core::Cause::NotRegularFile},
        {QStringLiteral("dangling.jpg"), core::Cause::DanglingLink},
        {QStringLiteral("nowhere/x.jpg"), core::Cause::NoSuchFolder},
        {QString(NAME_MAX + 1, QLatin1Char('a')), core::Cause::NameTooLong},
    };
    for (const auto& [name, cause] : refusals) EXPECT_EQ(ErrorOf(name), Code(cause)) << name.toStdString();
    EXPECT_EQ(Names(), before);
    EXPECT_EQ(Read("locked.jpg"), locked);
    EXPECT_EQ(Stat(Path("locked.jpg")).st_mode & 07777, 0444u);
    EXPECT_TRUE(S_ISFIFO(Stat(Path("pipe.jpg")).st_mode));
}

TEST_F(SafeReplaceTest, TheLongestAllowedNameIsSaved) {
    // NAME_MAX bytes, Turkish letters at its end; the temporary file's name is cut to fit beside it.
    const QString longest = QString(NAME_MAX - 4 - 2 * 5, QLatin1Char('b')) + QStringLiteral("çğıöş.jpg");
    ASSERT_EQ(QFile::encodeName(longest).size(), NAME_MAX);
    ASSERT_TRUE(core::SafeReplace(Path(longest), "first").ok());
    Chmod(Path(longest), 0640);
    ASSERT_TRUE(core::SafeReplace(Path(longest), "second").ok());
    EXPECT_EQ(Read(longest), "second");
    EXPECT_EQ(Stat(Path(longest)).st_mode & 0777, 0640u);
    EXPECT_EQ(Names(), QStringList{longest});
}

// Root ignores permission bits, so the writer runs in a child that has become an ordinary user.
TEST_F(SafeReplaceTest, AFolderTheUserMayNotWriteIsRefused) {
    const QByteArray mine = Keep("keep.jpg");
    const QByteArray open = Keep("open.jpg", "writable by all, in a folder that is not");
    Chmod(Path("keep.jpg"), 0644);
    Chmod(Path("open.jpg"), 0666);
    const bool root = ::geteuid() == 0;
    Chmod(dir_.path(), root ? 0755 : 0555);
    if (!root && ::access(QFile::encodeName(dir_.path()).constData(), W_OK) == 0)
        GTEST_SKIP() << "this user may write a read-only folder";
    for (const char* name : {"keep.jpg", "open.jpg", "new.jpg"}) {
        const testchild::Outcome o = testchild::RunInChild(
            [&](std::string&) { return ErrorOf(name); }, {.fileSizeLimit = std::nullopt, .dropToNobody = root});
        if (o.exitCode == testchild::kSetupFailed) GTEST_SKIP() << "cannot become an ordinary user: " << o.report;
        EXPECT_EQ(o.exitCode, Code(core::Cause::NoPermission)) << name;
    }
    EXPECT_EQ(Read("keep.jpg"), mine);
    EXPECT_EQ(Read("open.jpg"), open);
    EXPECT_EQ(Names(), (QStringList{"keep.jpg", "open.jpg"}));
}

// Limits that cut the write at its start, in the middle and at its very last byte.
TEST_F(SafeReplaceTest, AFullDiskFailsCleanlyWhereverTheWriteIsCut) {
    const QByteArray original = Keep("keep.jpg");
    const QByteArray contents(64 * 1024, 'j');
    for (const long limit : {0L, 1000L, long(contents.size() / 2), long(contents.size() - 1)}) {
        for (const char* name : {"keep.jpg", "new.jpg"}) {
            const testchild::Outcome o =
                testchild::RunInChild([&](std::string&) { return ErrorOf(name, contents); }, {.fileSizeLimit = limit});
            EXPECT_EQ(o.exitCode, Code(core::Cause::DiskFull)) << name << " limit " << limit;
        }
        EXPECT_EQ(Read("keep.jpg"), original) << "limit " << limit;
        EXPECT_EQ(Names(), QStringList{"keep.jpg"}) << "limit " << limit;
    }
    const testchild::Outcome o = testchild::RunInChild([&](std::string&) { return ErrorOf("keep.jpg", contents); },
                                                       {.fileSizeLimit = long(contents.size())});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(Read("keep.jpg"), contents);
}

// Whether the process has a file open in folder, other than target, with bytes in it: one without a name
// shows only here ("folder/#inode (deleted)").
bool WritingBeside(pid_t pid, const QString& folder, const QString& target) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString path = fds + QLatin1Char('/') + fd;
        const QString file = QFile::symLinkTarget(path);
        if (!file.startsWith(folder + QLatin1Char('/')) || file == target) continue;
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
            return true;
    }
    return false;
}

// Written without a name, a killed write leaves nothing; in a named temporary file, one that a sweep takes
// once it has aged, since no process holds it locked any more.
TEST_F(SafeReplaceTest, AKillDuringAWriteLeavesTheOldFileAndNothingASweepKeeps) {
    const QByteArray original = Keep("big.jpg");
    for (const bool named : {false, true}) {
        testchild::Child child = testchild::Child::Start([&](std::string&) {
            core::testing::PretendFileSystemGaps({.unnamedFiles = named});
            const QByteArray huge(1 << 30, 'j');
            for (int i = 0; i < 100; ++i) ErrorOf("big.jpg", huge);
            return 0;
        });
        QElapsedTimer clock;
        clock.start();
        bool writing = false;
        while (!(writing = WritingBeside(child.pid(), dir_.path(), Path("big.jpg"))) &&
               clock.elapsed() < 60000)
            QThread::usleep(200);
        ASSERT_TRUE(writing) << "the temporary file never grew";
        ASSERT_TRUE(child.Kill(SIGKILL));
        ASSERT_EQ(child.Wait().signal, SIGKILL);

        EXPECT_EQ(Read("big.jpg"), original);
        QStringList left = Names();
        left.removeAll("big.jpg");
        ASSERT_EQ(left.size(), named ? 1 : 0);
        if (!named) continue;
        EXPECT_TRUE(left.front().startsWith(".big.jpg.torv-tmp-")) << left.front().toStdString();
        const core::UniqueFd folder(
            ::open(QFile::encodeName(dir_.path()).constData(), O_RDONLY | O_DIRECTORY));
        core::RemoveStaleTemporaryFiles(folder.get());
        EXPECT_EQ(Names().size(), 2) << "taken while fresh";
        core::RemoveStaleTemporaryFiles(folder.get(), 0);
        EXPECT_EQ(Names(), QStringList{"big.jpg"});
    }
}

// Someone who may write in the folder swaps the temporary file for a link to a file of the saving user
// before it takes the target's name: the save fails, and neither that file nor the target changes.
TEST_F(SafeReplaceTest, ATemporaryFileSwappedForALinkChangesNothing) {
    const QByteArray target = Keep("target.jpg");
    const QByteArray secret = Keep("secret", "the saving user's private file");
    Chmod(Path("secret"), 0600);
    Chmod(Path("target.jpg"), 0666);
    const core::testing::TemporaryFileHook previous =
        core::testing::SetTemporaryFileHook([&](core::testing::Moment, const QString& temp) {
            QFile::remove(temp);
            QFile::link(Path("secret"), temp);
        });
    EXPECT_EQ(ErrorOf("target.jpg"), Code(core::Cause::ReplacedMeanwhile));
    core::testing::SetTemporaryFileHook(previous);
    EXPECT_EQ(Read("secret"), secret);
    EXPECT_EQ(Stat(Path("secret")).st_mode & 07777, 0600u);
    EXPECT_EQ(Read("target.jpg"), target);
    EXPECT_FALSE(QFileInfo(Path("target.jpg")).isSymLink());
}

// A process told to end at once removes the temporary file of a save under way, from its list; a file that
// someone put at that name meanwhile is theirs and stays.
TEST_F(SafeReplaceTest, EndingAtOnceRemovesTheListedTemporaryFileOnly) {
    for (const bool swapped : {false, true}) {
        const QByteArray target = Keep("target.jpg");
        QString left;
        {
            const Hooked hooked([&](core::testing::Moment moment, const QString& temp) {
                if (moment != core::testing::Moment::Written) return;
                if (swapped) {
                    Keep("theirs", "someone else's file");
                    ASSERT_EQ(::rename(QFile::encodeName(Path("theirs")).constData(),
                                       QFile::encodeName(temp).constData()),
                              0);
                    left = QFileInfo(temp).fileName();
                }
                core::TemporaryFiles::RemoveAllNow();
            });
            EXPECT_EQ(ErrorOf("target.jpg"), Code(core::Cause::ReplacedMeanwhile));
        }
        EXPECT_EQ(Read("target.jpg"), target);
        const QStringList expected = swapped ? QStringList{left, "target.jpg"} : QStringList{"target.jpg"};
        EXPECT_EQ(Names(), expected);
        if (swapped) {
            EXPECT_EQ(Read(left), "someone else's file");
        }
        QFile::remove(Path(left));
    }
}

// The file made under the target's name and filled there is removed when the filling fails: the disk
// fills after the temporary file is complete, while the contents go into the target's name.
TEST_F(SafeReplaceTest, WithoutExclusiveLinksAHalfWrittenNewFileIsRemoved) {
    const testchild::Outcome o = testchild::RunInChild([&](std::string&) {
        core::testing::PretendFileSystemGaps({.exclusiveLinks = true});
        std::optional<testfiles::FileSizeLimit> limit;
        core::testing::SetTemporaryFileHook([&](core::testing::Moment moment, const QString&) {
            if (moment == core::testing::Moment::Written) limit.emplace(1000);
        });
        const core::UniqueFd folder = Folder();
        const core::Result<void> r =
            core::SafeReplaceAt(folder.get(), "new.jpg", QByteArray(64 * 1024, 'j'), {.overwrite = false});
        return r ? 0 : Code(r.error().cause);
    });
    EXPECT_EQ(o.exitCode, Code(core::Cause::DiskFull));
    EXPECT_EQ(Everything().join(QLatin1Char(' ')).toStdString(), "");
}

// A sweep takes only what a killed writer of ours left: a user's own hidden files of names other programs
// use for backups and drafts, files held locked in any way, fresh ones, and anything not plainly ours stay.
TEST_F(SafeReplaceTest, ASweepRemovesOnlyOurOwnStaleUnlockedFiles) {
    for (const char* name : {".notes.tmp-backup", ".thesis.odt.tmp-draft1", ".report.docx.tmp-Ab12Cd",
                             ".tatil.jpg.tmp-Ab3dE9", ".unlocked.jpg.torv-tmp-Unlocked"})
        Keep(name);
    const auto open = [&](const char* name) {
        Keep(name);
        return core::UniqueFd(::open(QFile::encodeName(Path(name)).constData(), O_RDWR | O_CLOEXEC));
    };
    // A record lock of another process: closing any descriptor of the file would drop this process's own.
    const core::UniqueFd recordLocked = open(".record.jpg.torv-tmp-Record12");
    testchild::Child locker = testchild::Child::Start([&](std::string&) {
        if (::lockf(recordLocked.get(), F_LOCK, 0) != 0) return 1;
        ::pause();
        return 0;
    });
    for (QElapsedTimer clock; [&] {
             struct flock probe {};
             probe.l_type = F_WRLCK;
             return ::fcntl(recordLocked.get(), F_GETLK, &probe) == 0 && probe.l_type == F_UNLCK;
         }();) {
        if (!clock.isValid()) clock.start();
        ASSERT_LT(clock.elapsed(), 20000) << "the child took no lock";
        QThread::usleep(200);
    }
    const core::UniqueFd rangeLocked = open(".range.jpg.torv-tmp-RangeLck");
    struct flock range {};
    range.l_type = F_RDLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 5;
    range.l_len = 1;
    ASSERT_EQ(::fcntl(rangeLocked.get(), F_OFD_SETLK, &range), 0);
    const core::UniqueFd flocked = open(".flock.jpg.torv-tmp-Flocked1");
    ASSERT_EQ(::flock(flocked.get(), LOCK_SH), 0);
    Keep(".linked.jpg.torv-tmp-Linked12");
    ASSERT_EQ(::link(QFile::encodeName(Path(".linked.jpg.torv-tmp-Linked12")).constData(),
                     QFile::encodeName(Path("hard.jpg")).constData()),
              0);
    ASSERT_TRUE(QFile::link(Path("hard.jpg"), Path(".link.jpg.torv-tmp-Symlink1")));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(".dir.jpg.torv-tmp-Folder12"));
    if (::geteuid() == 0) {
        Keep(".theirs.jpg.torv-tmp-Theirs12");
        ASSERT_EQ(::chown(QFile::encodeName(Path(".theirs.jpg.torv-tmp-Theirs12")).constData(), 65534, 65534),
                  0);
    }
    QStringList kept = Everything();
    const core::UniqueFd folder = Folder();

    core::RemoveStaleTemporaryFiles(folder.get());  // all fresh
    EXPECT_EQ(Everything().join(' ').toStdString(), kept.join(' ').toStdString());
    core::RemoveStaleTemporaryFiles(folder.get(), 0);
    kept.removeAll(".unlocked.jpg.torv-tmp-Unlocked");
    EXPECT_EQ(Everything().join(' ').toStdString(), kept.join(' ').toStdString());
}

// A sweep of another run finds a live write's named file before its lock (passed over for its age) and
// after (locked, so passed over even when it counted as stale): the write goes on undisturbed.
TEST_F(SafeReplaceTest, ASweepDuringAWriteTakesNothingOfIt) {
    const core::UniqueFd folder = Folder();
    int sweeps = 0;
    const Hooked hooked([&](core::testing::Moment moment, const QString&) {
        core::RemoveStaleTemporaryFiles(folder.get(), moment == core::testing::Moment::Created ? 3600 : 0);
        ++sweeps;
    });
    for (const bool named : {false, true}) {
        const Pretend pretend({.unnamedFiles = named});
        for (const bool overwrite : {true, false}) {
            const QByteArray name =
                QByteArray("picture-") + (named ? "n" : "u") + (overwrite ? "o" : "a") + ".jpg";
            const core::Result<void> r =
                core::SafeReplaceAt(folder.get(), name, name, {.overwrite = overwrite});
            EXPECT_TRUE(r.ok()) << name.constData() << ": " << (r ? "" : r.error().detail.toStdString());
            EXPECT_EQ(Read(QString::fromLatin1(name)), name);
        }
    }
    EXPECT_EQ(sweeps,
              2 + 2 + 1);  // written: both named ways and the unnamed replace; created: the named ones
    EXPECT_EQ(Names().size(), 4);
}

// Where the file system can neither rename without replacing nor link (exFAT, phones, shares), a new file
// is still never put over one that is there, also one that appears while the contents are written.
TEST_F(SafeReplaceTest, WithoutExclusiveLinksNothingThereIsReplacedUnasked) {
    const core::UniqueFd folder = Folder();
    const Pretend pretend({.unnamedFiles = true, .exclusiveLinks = true});
    const QByteArray theirs = Keep("there.jpg");
    const struct {
        const char* name;
        bool overwrite;
        bool appears;
        core::Cause refused;  // Internal: written
        const char* after;
    } cases[] = {
        {"new.jpg", false, false, core::Cause::Internal, "written"},
        {"there.jpg", false, false, core::Cause::ResultExists, theirs.constData()},
        {"late.jpg", false, true, core::Cause::ResultExists, "someone else's"},
        {"replaced.jpg", true, false, core::Cause::Internal, "written"},
    };
    Keep("replaced.jpg");
    for (const auto& c : cases) {
        const Hooked hooked([&](core::testing::Moment moment, const QString&) {
            if (c.appears && moment == core::testing::Moment::Written) Keep(c.name, "someone else's");
        });
        const core::Result<void> r =
            core::SafeReplaceAt(folder.get(), c.name, "written", {.overwrite = c.overwrite});
        EXPECT_EQ(r ? core::Cause::Internal : r.error().cause, c.refused) << c.name;
        EXPECT_EQ(Read(c.name), c.after) << c.name;
    }
    EXPECT_EQ(Names(), (QStringList{"late.jpg", "new.jpg", "replaced.jpg", "there.jpg"}));

    // Where even an exclusive create is refused, the user is told what works, and nothing is left.
    const Pretend nothing({.unnamedFiles = true, .exclusiveLinks = true, .exclusiveCreate = true});
    const core::Result<void> r = core::SafeReplaceAt(folder.get(), "other.jpg", "x", {.overwrite = false});
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().cause, core::Cause::NoExclusiveCreate);
    EXPECT_TRUE(r.error().detail.contains(QLatin1String("--overwrite")));
    EXPECT_EQ(Names().size(), 4);
}

TEST(TemporaryFileName, TellsTheWritersOwnFiles) {
    for (const char* name : {".tatil.jpg.torv-tmp-Ab3dE9x0", ".a.torv-tmp-00000000"})
        EXPECT_TRUE(core::IsTemporaryFileName(name)) << name;
    for (const char* name :
         {"tatil.jpg", ".tatil.jpg.tmp-Ab3dE9", ".notes.tmp-backup", ".tatil.jpg.torv-tmp-Ab3",
          "x.torv-tmp-Ab3dE9x0", ".x.torv-tmp-Ab3dE9x0.jpg", ".x.torv-tmp-Ab3d-9x0"})
        EXPECT_FALSE(core::IsTemporaryFileName(name)) << name;
}

}  // namespace
