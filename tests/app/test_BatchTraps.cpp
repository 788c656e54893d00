// The command line over folders set with traps: links where results go, a link planted while it runs,
// one file by two paths, folders and names it cannot read or that are not text, a killed run's leftover,
// a closed stderr, control characters. No file outside the output tree may change in any of them.
#include "tests/support/QtTests.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kData = QStringLiteral(TORV_TEST_DATA);

// Plants a link at a name in a folder as soon as another name appears there, from a thread of its own.
class Planter {
public:
    Planter(const QString& folder, const QByteArray& awaited, const QByteArray& target, const QByteArray& link) {
        fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_CREATE);
        thread_ = std::thread([=, this] {
            alignas(inotify_event) char buffer[4096];
            for (pollfd p{fd_, POLLIN, 0}; !stop_ && ::poll(&p, 1, 50) >= 0;) {
                for (ssize_t n = ::read(fd_, buffer, sizeof buffer), at = 0; n > 0 && at < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    if (event->len && QByteArray(event->name) == awaited) {
                        (void)::symlink(target.constData(), link.constData());
                        return;
                    }
                    at += ssize_t(sizeof(inotify_event) + event->len);
                }
            }
        });
    }
    ~Planter() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
    }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Trap {
    std::function<void()> set;  // run in the trap's folder, which holds in/a.jpg and victim/important.txt
    QString command;            // bash, in that folder; "$TORV" is the program
    int status;
    QString says;               // in what the program wrote to stderr
    std::function<bool()> holds = [] { return true; };
};

}  // namespace

Q_DECLARE_METATYPE(Trap)

namespace {

void Link(const char* target, const char* link) { QVERIFY(::symlink(target, link) == 0); }
// To a name of bytes, text or not.
void Copy(const char* from, const char* to) {
    const QByteArray bytes = testfiles::ReadBytes(kData + '/' + from);
    const int fd = ::open(to, O_WRONLY | O_CREAT | O_EXCL, 0644);
    QVERIFY(fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == bytes.size());
    ::close(fd);
}
// Big enough that decoding it outlasts the planting of a link.
void BigPicture(const char* to) {
    QImage noise(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, qRgb(x * 7 ^ y * 13, x * y, y));
    QVERIFY(noise.save(to, "JPEG", 95));
}
bool Exists(const char* path) { return ::access(path, F_OK) == 0; }
time_t ModifiedAt(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 ? st.st_mtime : 0;
}

}  // namespace

class TestBatchTraps : public QObject {
    Q_OBJECT
private slots:
    void noFileOutsideTheOutputTreeChanges_data() {
        QTest::addColumn<Trap>("trap");
        const bool root = ::geteuid() == 0;
        const QString asUser = root ? QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups ") : QString();
        QTest::newRow("link at the result, --overwrite")
            << Trap{[] { Link("../victim/important.txt", "in/a_kucuk.jpg"); }, R"("$TORV" -b 8x8 --overwrite in)", 1,
                    "in/a.jpg: the result 'a_kucuk.jpg' is a symbolic link"};
        QTest::newRow("link planted after planning")
            << Trap{[] { BigPicture("in/b.jpg"); }, R"("$TORV" -b 8x8 -j 1 in)", 1, "in/b.jpg: 'b_kucuk.jpg' is a symbolic link"};
        QTest::newRow("linked folder in the output tree")
            << Trap{[] { QDir().mkpath("in/sub"), Copy("orient_1.jpg", "in/sub/c.jpg"), QDir().mkpath("out"), Link("../victim", "out/sub"); },
                    R"("$TORV" -r -b 8x8 -o out in)", 1, "out/sub' is a symbolic link"};
        QTest::newRow("two results one file")
            << Trap{[] { Copy("upright.png", "in/a.png"), Link("in", "also"); }, R"("$TORV" -b 8x8 in/a.jpg also/a.png)", 1,
                    "also/a.png: the same result as 'in/a.jpg'"};
        QTest::newRow("one file by two paths")
            << Trap{[] { Link("in", "also"); }, R"("$TORV" -b 8x8 in/a.jpg also/a.jpg)", 0, "1 picture: 1 written"};
        QTest::newRow("unreadable folder")
            << Trap{[] { QDir().mkpath("in/locked"), Copy("orient_1.jpg", "in/locked/e.jpg"), ::chmod("in/locked", 0),
                         ::chmod("in", 0777), ::chmod(".", 0755), ::chmod("..", 0755); },
                    asUser + R"("$TORV" -r -b 8x8 in)", 1, "in/locked: cannot read the folder: Permission denied"};
        QTest::newRow("output folder it may not make")
            << Trap{[] {
                        QDir().mkpath("locked"), ::chmod("locked", 0555), ::chmod("in", 0777),
                            ::chmod(".", 0755), ::chmod("..", 0755);
                    },
                    asUser + R"("$TORV" -b 8x8 -o locked/new in)", 1, "locked/new': Permission denied"};
        QTest::newRow("not UTF-8")
            << Trap{[] { Copy("orient_1.jpg", "in/bad\xff\xfe.jpg"), Copy("orient_1.jpg", "lone\xff.jpg"); },
                    R"("$TORV" -b 8x8 in lone*.jpg)", 0, "3 pictures: 3 written",
                    [] { return Exists("in/bad\xff\xfe_kucuk.jpg") && Exists("lone\xff_kucuk.jpg"); }};
        QTest::newRow("path longer than PATH_MAX")
            << Trap{[] {}, R"(d=$(printf 'd%.0s' {1..250}); (cd in && for i in $(seq 18); do mkdir $d && cd $d || exit 1; done;
                              cp "$TRAP/in/a.jpg" deep.jpg) && "$TORV" -r -b 8x8 in)",
                    1, "cannot read the folder: File name too long"};
        QTest::newRow("hidden files named like temporary ones")
            << Trap{[] {
                        testfiles::WriteBytes("in/.a_kucuk.jpg.tmp-Ab12Cd", "the user's"),
                            testfiles::WriteBytes("in/.notes.tmp-backup", "the user's");
                    },
                    R"("$TORV" -b 8x8 in)", 0, "1 written",
                    [] { return Exists("in/.a_kucuk.jpg.tmp-Ab12Cd") && Exists("in/.notes.tmp-backup"); }};
        QTest::newRow("stderr closed")
            << Trap{[] {}, R"(exec 3> >(:); sleep 0.3; exec "$TORV" -b 8x8 nothing.jpg in 2>&3)", 1, "",
                    [] { return Exists("in/a_kucuk.jpg"); }};
        QTest::newRow("control characters")
            << Trap{[] { testfiles::WriteBytes("in/x\n\x1b]0;ad\x07.jpg", "no picture"); }, R"("$TORV" -b 8x8 in)", 1,
                    "in/x\\n\\x1b]0;ad\\x07.jpg: not a picture"};
        QTest::newRow("--overwrite gives the time of writing")
            << Trap{[] { testfiles::WriteBytes("in/a_kucuk.jpg", "old"), QProcess::execute("touch", {"-d", "2001-01-01", "in/a_kucuk.jpg"}); },
                    R"("$TORV" -b 8x8 --overwrite in)", 0, "1 written", [] { return ModifiedAt("in/a_kucuk.jpg") > time(nullptr) - 600; }};
    }

    void noFileOutsideTheOutputTreeChanges() {
        QFETCH(Trap, trap);
        QTemporaryDir dir;
        const QString folder = dir.filePath("trap");
        QVERIFY(QDir().mkpath(folder + "/in") && QDir().mkpath(folder + "/victim"));
        QVERIFY(QDir::setCurrent(folder));
        Copy("orient_1.jpg", "in/a.jpg");
        const QByteArray victim = testfiles::WriteBytes("victim/important.txt", "the user's own notes");
        trap.set();

        std::unique_ptr<Planter> planter;
        if (QByteArray(QTest::currentDataTag()) == "link planted after planning")
            planter = std::make_unique<Planter>("in", "a_kucuk.jpg", "../victim/important.txt", "in/b_kucuk.jpg");
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TORV", QStringLiteral(TORV_EXECUTABLE));
        environment.insert("TRAP", folder);
        program.setProcessEnvironment(environment);
        program.start("bash", {"-c", trap.command});
        QVERIFY(program.waitForFinished(60000));
        planter.reset();
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QDir::setCurrent(QDir::rootPath());
        ::chmod(QFile::encodeName(folder + "/in/locked").constData(), 0700);

        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(program.exitCode() == trap.status && errors.contains(trap.says), qPrintable(errors));
        QVERIFY(!errors.contains(QChar(0x1b)));
        QVERIFY(QDir::setCurrent(folder) && trap.holds());
        QCOMPARE(testfiles::ReadBytes("victim/important.txt"), victim);
        QCOMPARE(QDir("victim").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"important.txt"});
        QDir::setCurrent(QDir::rootPath());
        // Qt's own removal passes over names that are not text and paths that are too long.
        QProcess::execute("rm", {"-rf", dir.path()});
    }
};

TORV_QTEST(TestBatchTraps)
#include "test_BatchTraps.moc"
