// File look-up and the operations of a safe replace.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <climits>

using namespace platform;

namespace {

class FilesTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QByteArray Name(const char* name) const { return QFile::encodeName(dir_.filePath(name)); }
    QByteArray Make(const char* name) const {
        QFile f(dir_.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        return Name(name);
    }
};

TEST_F(FilesTest, LookUpTellsFilesFoldersAndMissingNames) {
    EXPECT_FALSE(LookUpFile(Name("missing")).exists);
    const FileInfo folder = LookUpFile(QFile::encodeName(dir_.path()));
    EXPECT_TRUE(folder.exists && folder.isDirectory);
    const QByteArray file = Make("a");
    ASSERT_TRUE(SetFileMode(file, 0751));
    const FileInfo info = LookUpFile(file);
    EXPECT_TRUE(info.exists);
    EXPECT_FALSE(info.isDirectory || info.isSymLink);
    EXPECT_EQ(info.mode, 0751u);
}

TEST_F(FilesTest, TimesRoundTripToTheNanosecond) {
    const QByteArray file = Make("t");
    const timespec atime{1500000000, 111111111}, mtime{1600000000, 222222222};
    ASSERT_TRUE(SetFileTimes(file, atime, mtime));
    const FileInfo info = LookUpFile(file);
    EXPECT_EQ(info.accessed.tv_sec, atime.tv_sec);
    EXPECT_EQ(info.accessed.tv_nsec, atime.tv_nsec);
    EXPECT_EQ(info.modified.tv_sec, mtime.tv_sec);
    EXPECT_EQ(info.modified.tv_nsec, mtime.tv_nsec);
    EXPECT_FALSE(SetFileTimes(Name("missing"), atime, mtime));
}

TEST_F(FilesTest, LinkIsFollowedAndMarked) {
    const QByteArray file = Make("target");
    ASSERT_TRUE(QFile::link(QFile::decodeName(file), dir_.filePath("link")));
    const FileInfo info = LookUpFile(Name("link"));
    EXPECT_TRUE(info.exists && info.isSymLink);
    EXPECT_EQ(info.mode, LookUpFile(file).mode);
}

TEST_F(FilesTest, TempFileSitsBesideTheTargetAndCanReplaceIt) {
    const QByteArray target = Make("Küçük resim.jpg");
    const QByteArray temp = CreateTempFileBeside(target);
    ASSERT_FALSE(temp.isEmpty());
    EXPECT_TRUE(temp.startsWith(Name(".Küçük resim.jpg.tmp-")));
    EXPECT_EQ(temp.size(), Name(".Küçük resim.jpg.tmp-XXXXXX").size());
    EXPECT_EQ(LookUpFile(temp).mode, 0600u);
    EXPECT_TRUE(SyncFile(temp));
    EXPECT_TRUE(RenameFile(temp, target));
    EXPECT_FALSE(LookUpFile(temp).exists);
    EXPECT_EQ(QFile(QFile::decodeName(target)).size(), 0);
    EXPECT_TRUE(SyncFolderOf(target));
    EXPECT_TRUE(RemoveFile(target));
    EXPECT_FALSE(RemoveFile(target));
    EXPECT_TRUE(CreateTempFileBeside(Name("no folder/x.jpg")).isEmpty());
}

TEST_F(FilesTest, LongestAllowedNameStillGetsATempFile) {
    // 255 bytes, the most a name may have, ending in two-byte letters so that the cut falls inside one.
    const QByteArray name = QByteArray(234, 'a') + "ğğğğğğğğğğ" + "g";
    ASSERT_EQ(name.size(), NAME_MAX);
    const QByteArray temp = CreateTempFileBeside(Name(name.constData()));
    ASSERT_FALSE(temp.isEmpty());
    const QByteArray tempName = temp.mid(temp.lastIndexOf('/') + 1);
    EXPECT_EQ(tempName.size(), NAME_MAX - 1);  // the fifth ğ would have been cut in half
    EXPECT_TRUE(tempName.startsWith('.' + QByteArray(234, 'a') + "ğğğğ.tmp-"));
    EXPECT_FALSE(QString::fromUtf8(tempName).contains(QChar::ReplacementCharacter));  // no letter split
    EXPECT_TRUE(RemoveFile(temp));
}

TEST(Files, NewFileModeIsTheUmasksView) {
    const mode_t old = ::umask(027);
    EXPECT_EQ(NewFileMode(), 0640u);
    ::umask(old);
    EXPECT_EQ(NewFileMode(), 0666u & ~std::uint32_t(old));
}

}  // namespace
