// A save that fails half-way keeps the user's existing file: a full disk, a killed process, a folder the
// user may not write, a name the file system refuses. Faults that would hit the test process itself run
// in a child process.
#include "jpeg/mIntelJPEGLibrary.h"

#include "image/cDIBSection.h"
#include "platform/files.h"
#include "platform/ijl.h"
#include "platform/runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <climits>

using platform::Picture;
using platform::RuntimeError;

namespace {

constexpr int kSaved = 0;
constexpr int kRaised = 1;

class WriteJpegFileFaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;

    void TearDown() override {
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    QByteArray Keep(const QString& name, const QByteArray& bytes = "the user's own picture") const {
        return testfiles::WriteBytes(Path(name), bytes);
    }
    QByteArray ReadAll(const QString& name) const { return testfiles::ReadBytes(Path(name)); }
    QStringList Names() const { return testfiles::FilesIn(dir_.path()); }

    // The writer in a child: exit code kSaved, or kRaised with "<number> <description>" as the report.
    static int SaveReporting(cDIBSection& dib, const QString& path, int quality, std::string& report) {
        try {
            mIntelJPEGLibrary::WriteJpegFile(dib, path, quality);
            return kSaved;
        } catch (const RuntimeError& e) {
            report = std::to_string(e.number()) + ' ' + e.description().toStdString();
            return kRaised;
        }
    }

    static std::string Raised(int number, const QString& description) {
        return std::to_string(number) + ' ' + description.toStdString();
    }
};

std::string Describe(const testchild::Outcome& o) {
    return "exit " + std::to_string(o.exitCode) + ", signal " + std::to_string(o.signal) + ", report \"" +
           o.report + '"';
}

// Limits that cut the write at its start, in its first buffer, in the middle and at its very last byte
// (which only the final flush writes).
TEST_F(WriteJpegFileFaultsTest, FullDiskFailsCleanlyWhereverTheWriteIsCut) {
    cDIBSection dib;
    dib.CreateFromPicture(Picture::FromImage(testpics::Noise(256, 256)));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path("measure.jpg"), 100));
    const long size = long(QFile(Path("measure.jpg")).size());
    ASSERT_TRUE(QFile::remove(Path("measure.jpg")));
    ASSERT_GT(size, 8192);

    const QByteArray original = Keep("keep.jpg");
    const std::string expected =
        Raised(26001, QStringLiteral("Failed to save to JPG %1").arg(platform::IJL_FILE_WRITE_ERROR));
    for (const long limit : {0L, 1000L, size / 2, size - 1}) {
        for (const QString& name : {QStringLiteral("keep.jpg"), QStringLiteral("new.jpg")}) {
            const testchild::Outcome o = testchild::RunInChild(
                [&](std::string& report) { return SaveReporting(dib, Path(name), 100, report); },
                {.fileSizeLimit = limit});
            EXPECT_TRUE(o.exited && o.exitCode == kRaised)
                << name.toStdString() << " limit " << limit << ": " << Describe(o);
            EXPECT_EQ(o.report, expected) << "limit " << limit;
        }
        EXPECT_EQ(ReadAll("keep.jpg"), original) << "limit " << limit;
        EXPECT_EQ(Names(), QStringList{"keep.jpg"}) << "limit " << limit;
    }
    // The same picture with room enough is saved: the limit, not the picture, made the others fail.
    const testchild::Outcome o = testchild::RunInChild(
        [&](std::string& report) { return SaveReporting(dib, Path("keep.jpg"), 100, report); },
        {.fileSizeLimit = size});
    EXPECT_TRUE(o.exited && o.exitCode == kSaved) << Describe(o);
    EXPECT_EQ(testpics::DecodeJpeg(Path("keep.jpg")).size(), QSize(256, 256));
}

TEST_F(WriteJpegFileFaultsTest, KillDuringALargeWriteLeavesTheOldFileAndANamedTemporary) {
    const QByteArray original = Keep("big.jpg");
    testchild::Child child = testchild::Child::Start([&](std::string& report) {
        cDIBSection dib;
        if (!dib.Create(8000, 6000)) return 2;
        std::uint8_t* bits = dib.DIBSectionBitsPtr();
        const std::size_t stride = std::size_t(dib.BytesPerScanLine());
        for (std::size_t y = 0; y < 6000; ++y)
            for (std::size_t x = 0; x < stride; ++x)
                bits[y * stride + x] = std::uint8_t((x * 7) ^ (y * 13) ^ (x * y >> 6));
        return SaveReporting(dib, Path("big.jpg"), 100, report);
    });

    // Kill once the encoder has put its first bytes into the temporary file.
    const QRegularExpression temporary(QStringLiteral("^\\.big\\.jpg\\.tmp-[A-Za-z0-9]{6}$"));
    QElapsedTimer clock;
    clock.start();
    bool writing = false;
    while (!writing && clock.elapsed() < 120000) {
        for (const QString& name : Names())
            if (temporary.match(name).hasMatch() && QFile(Path(name)).size() > 0) writing = true;
        if (!writing) QThread::msleep(2);
    }
    ASSERT_TRUE(writing) << "the temporary file never grew";
    ASSERT_TRUE(child.Kill(SIGKILL));
    const testchild::Outcome o = child.Wait();
    ASSERT_EQ(o.signal, SIGKILL) << "the write ended before the kill: " << Describe(o);

    EXPECT_EQ(ReadAll("big.jpg"), original);
    QStringList left = Names();
    left.removeAll("big.jpg");
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(temporary.match(left.front()).hasMatch()) << left.front().toStdString();
}

// Root ignores permission bits, so the writer runs in a child that has become an ordinary user.
TEST_F(WriteJpegFileFaultsTest, FolderTheUserMayNotWriteIsRefused) {
    const QByteArray mine = Keep("keep.jpg");
    const QByteArray open = Keep("open.jpg", "writable by all, in a folder that is not");
    ASSERT_TRUE(platform::SetFileMode(QFile::encodeName(Path("keep.jpg")), 0644));
    ASSERT_TRUE(platform::SetFileMode(QFile::encodeName(Path("open.jpg")), 0666));
    const bool root = ::geteuid() == 0;
    // As root the folder is root's own 0755; otherwise it is made read-only for its owner.
    ASSERT_TRUE(platform::SetFileMode(QFile::encodeName(dir_.path()), root ? 0755 : 0555));
    if (!root && ::access(QFile::encodeName(dir_.path()).constData(), W_OK) == 0)
        GTEST_SKIP() << "this user may write a read-only folder";

    cDIBSection dib;
    dib.CreateFromPicture(Picture::FromImage(testpics::Gradient(16, 16)));
    for (const QString& name :
         {QStringLiteral("keep.jpg"), QStringLiteral("open.jpg"), QStringLiteral("new.jpg")}) {
        const testchild::Outcome o = testchild::RunInChild(
            [&](std::string& report) { return SaveReporting(dib, Path(name), 90, report); },
            {.fileSizeLimit = std::nullopt, .dropToNobody = root});
        if (o.exitCode == testchild::kSetupFailed)
            GTEST_SKIP() << "cannot become an ordinary user: " << o.report;
        EXPECT_TRUE(o.exited && o.exitCode == kRaised) << name.toStdString() << ": " << Describe(o);
        EXPECT_EQ(o.report.substr(0, 3), "75 ") << name.toStdString();
    }
    EXPECT_EQ(ReadAll("keep.jpg"), mine);
    EXPECT_EQ(ReadAll("open.jpg"), open);
    EXPECT_EQ(Names(), (QStringList{"keep.jpg", "open.jpg"}));
}

TEST_F(WriteJpegFileFaultsTest, NameTooLongIsRefusedAndTheLongestAllowedIsSaved) {
    cDIBSection dib;
    dib.CreateFromPicture(Picture::FromImage(testpics::Gradient(16, 16)));
    const QString tooLong = QString(296, QLatin1Char('a')) + ".jpg";
    try {
        mIntelJPEGLibrary::WriteJpegFile(dib, Path(tooLong), 90);
        ADD_FAILURE() << "a 300-byte name was saved";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::PathFileAccess);
        EXPECT_FALSE(e.description().isEmpty());
    }
    EXPECT_TRUE(Names().isEmpty());

    // A name of NAME_MAX bytes, Turkish letters at its end, both new and over an existing file.
    const QString longest = QString(NAME_MAX - 4 - 2 * 5, QLatin1Char('b')) + QStringLiteral("çğıöş.jpg");
    ASSERT_EQ(QFile::encodeName(longest).size(), NAME_MAX);
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path(longest), 90));
    Keep(longest, "old");
    ASSERT_TRUE(platform::SetFileMode(QFile::encodeName(Path(longest)), 0640));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path(longest), 90));
    EXPECT_EQ(testpics::DecodeJpeg(Path(longest)).size(), QSize(16, 16));
    EXPECT_EQ(platform::LookUpFile(QFile::encodeName(Path(longest))).mode, 0640u);
    EXPECT_EQ(Names(), QStringList{longest});
}

}  // namespace
