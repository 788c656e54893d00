// SafeReplace: a replaced file keeps what the user set on it and nothing it should not; every refusal and
// every failure half-way (a full disk, a kill, a swapped temporary file) leaves the old file as it was.
#include "core/safe_replace.h"
#include "core/temporary_files.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <climits>

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

TEST_F(SafeReplaceTest, AKillDuringAWriteLeavesTheOldFileAndANamedTemporary) {
    const QByteArray original = Keep("big.jpg");
    testchild::Child child = testchild::Child::Start([&](std::string&) {
        const QByteArray huge(1 << 30, 'j');
        for (int i = 0; i < 100; ++i) ErrorOf("big.jpg", huge);
        return 0;
    });
    QElapsedTimer clock;
    clock.start();
    bool writing = false;
    while (!writing && clock.elapsed() < 60000) {
        for (const QString& name : Names())
            if (core::IsTemporaryFileName(name) && QFileInfo(Path(name)).size() > 0) writing = true;
        if (!writing) QThread::usleep(200);
    }
    ASSERT_TRUE(writing) << "the temporary file never grew";
    ASSERT_TRUE(child.Kill(SIGKILL));
    ASSERT_EQ(child.Wait().signal, SIGKILL);

    EXPECT_EQ(Read("big.jpg"), original);
    QStringList left = Names();
    left.removeAll("big.jpg");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(left.front().startsWith(".big.jpg.tmp-")) << left.front().toStdString();
}

// Someone who may write in the folder swaps the temporary file for a link to a file of the saving user
// before it takes the target's name: the save fails, and neither that file nor the target changes.
TEST_F(SafeReplaceTest, ATemporaryFileSwappedForALinkChangesNothing) {
    const QByteArray target = Keep("target.jpg");
    const QByteArray secret = Keep("secret", "the saving user's private file");
    Chmod(Path("secret"), 0600);
    Chmod(Path("target.jpg"), 0666);
    const core::testing::TemporaryFileHook previous = core::testing::SetTemporaryFileHook([&](const QString& temp) {
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
        const core::testing::TemporaryFileHook previous =
            core::testing::SetTemporaryFileHook([&](const QString& temp) {
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
        core::testing::SetTemporaryFileHook(previous);
        EXPECT_EQ(Read("target.jpg"), target);
        const QStringList expected = swapped ? QStringList{left, "target.jpg"} : QStringList{"target.jpg"};
        EXPECT_EQ(Names(), expected);
        if (swapped) {
            EXPECT_EQ(Read(left), "someone else's file");
        }
        QFile::remove(Path(left));
    }
}

TEST(TemporaryFileName, TellsTheWritersOwnFiles) {
    for (const char* name : {".tatil.jpg.tmp-Ab3dE9", ".a.tmp-000000"}) EXPECT_TRUE(core::IsTemporaryFileName(name));
    for (const char* name : {"tatil.jpg", ".tatil.jpg", ".tatil.jpg.tmp-Ab3", "x.tmp-Ab3dE9", ".x.tmp-Ab3dE9.jpg"})
        EXPECT_FALSE(core::IsTemporaryFileName(name)) << name;
}

}  // namespace
