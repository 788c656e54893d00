// Stopping the command line while a picture takes long: Ctrl+C twice, or SIGTERM, end it at once with the
// status a shell expects, and leave neither a result nor a temporary file.
#include "tests/support/QtTests.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdint>

class TestStopping : public QObject {
    Q_OBJECT
private slots:
    void endsAtOnce_data() {
        QTest::addColumn<QList<int>>("sent");
        QTest::addColumn<int>("status");
        QTest::newRow("Ctrl+C twice") << QList<int>{SIGINT, SIGINT} << 130;
        QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << 143;
    }

    void endsAtOnce() {
        QFETCH(QList<int>, sent);
        QFETCH(int, status);
        QTemporaryDir dir;
        // Noise, made to fit a file size it never fits: WebP encodings at quality after quality, then size
        // after size, many seconds of them on any machine.
        QImage noise(4000, 3000, QImage::Format_RGB32);
        std::uint32_t state = 12345;
        for (int y = 0; y < noise.height(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(noise.scanLine(y));
            for (int x = 0; x < noise.width(); ++x) {
                state ^= state << 13, state ^= state >> 17, state ^= state << 5;
                row[x] = state;
            }
        }
        QVERIFY(noise.save(dir.filePath("noise.bmp")));
        noise = QImage();

        QProcess program;
        program.start(QStringLiteral(TORV_EXECUTABLE), {"-b", "4000x4000", "-f", "webp", "--max-size", "1K",
                                                        "-j", "1", dir.filePath("noise.bmp")});
        QVERIFY(program.waitForStarted());
        QTest::qWait(1500);  // planned, read, and encoding
        QCOMPARE(program.state(), QProcess::Running);
        QElapsedTimer sinceLast;
        for (const int signal : sent) {
            ::kill(pid_t(program.processId()), signal);
            sinceLast.start();
            QTest::qWait(100);
        }
        QVERIFY(program.state() == QProcess::NotRunning || program.waitForFinished(30000));
        QVERIFY2(sinceLast.elapsed() < 2000, qPrintable(QString::number(sinceLast.elapsed())));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        QVERIFY(program.readAllStandardError().contains("interrupted: stopped at once"));
        QCOMPARE(testfiles::FilesIn(dir.path()), QStringList{"noise.bmp"});
    }
};

TORV_QTEST(TestStopping)
#include "test_Stopping.moc"
