// Saving onto a file system like an exFAT stick or a phone seen through FUSE: no hard links, no rename
// flags, no files without names. New files are still written and never put over one that is there.
#include "core/safe_replace.h"

#include "core/unique_fd.h"
#include "tests/support/TestFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

dev_t DeviceOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

// tests/support/no_links_fs.py over a private folder, mounted while the object lives.
class NoLinksMount {
public:
    NoLinksMount() {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            whyNot_ = "no /dev/fuse to use";
            return;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("fusermount")).isEmpty()) {
            whyNot_ = "no fusermount (fuse3)";
            return;
        }
        QDir(dir_.path()).mkdir(QStringLiteral("back"));
        QDir(dir_.path()).mkdir(QStringLiteral("mount"));
        layer_.setProcessChannelMode(QProcess::MergedChannels);
        layer_.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(TORV_TEST_DATA "/../support/no_links_fs.py"), mount(),
                      QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("root=") + back()});
        if (!layer_.waitForStarted()) {
            whyNot_ = "python3 does not start";
            return;
        }
        QElapsedTimer clock;
        clock.start();
        while (DeviceOf(mount()) == DeviceOf(back()) && layer_.state() == QProcess::Running &&
               clock.elapsed() < 20000)
            QThread::msleep(20);
        mounted_ = DeviceOf(mount()) != DeviceOf(back());
        if (!mounted_) whyNot_ = "cannot mount: " + layer_.readAll().toStdString();
    }
    ~NoLinksMount() {
        if (mounted_) QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), mount()});
        if (layer_.state() != QProcess::NotRunning && !layer_.waitForFinished(10000)) layer_.kill();
        layer_.waitForFinished();
    }
    const std::string& whyNot() const { return whyNot_; }
    QString mount() const { return dir_.filePath(QStringLiteral("mount")); }
    QString back() const { return dir_.filePath(QStringLiteral("back")); }

private:
    QTemporaryDir dir_;
    QProcess layer_;
    bool mounted_ = false;
    std::string whyNot_;
};

TEST(SafeReplaceOnFuse, NewFilesAreWrittenAndExistingOnesKeptWithoutLinks) {
    const NoLinksMount fs;
    if (!fs.whyNot().empty()) GTEST_SKIP() << fs.whyNot();
    const QByteArray theirs =
        testfiles::WriteBytes(fs.back() + QStringLiteral("/there.jpg"), "the user's own");
    const core::UniqueFd folder(
        ::open(QFile::encodeName(fs.mount()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder.valid());

    const struct {
        const char* name;
        bool overwrite;
        bool written;
    } cases[] = {{"new.jpg", false, true}, {"there.jpg", false, false}, {"replaced.jpg", true, true}};
    for (const auto& c : cases) {
        const core::Result<void> r =
            core::SafeReplaceAt(folder.get(), c.name, c.name, {.overwrite = c.overwrite});
        EXPECT_EQ(r.ok(), c.written) << c.name << ": " << (r ? "" : r.error().detail.toStdString());
        if (!c.written) {
            EXPECT_EQ(r.error().cause, core::Cause::ResultExists) << c.name;
        }
    }
    const QString back = fs.back() + QLatin1Char('/');
    EXPECT_EQ(testfiles::ReadBytes(back + "new.jpg"), "new.jpg");
    EXPECT_EQ(testfiles::ReadBytes(back + "there.jpg"), theirs);
    EXPECT_EQ(testfiles::ReadBytes(back + "replaced.jpg"), "replaced.jpg");
    EXPECT_EQ(testfiles::FilesIn(fs.back()), (QStringList{"new.jpg", "replaced.jpg", "there.jpg"}));
}

}  // namespace
