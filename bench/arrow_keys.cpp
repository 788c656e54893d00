// Holding Down in the main window's file list: how long the window's thread went without handling its
// events while the key repeats, and how long after the release the preview shows the last picture.
//   arrow_keys FOLDER [PRESSES] [REPEAT_MS]   (make the folder with make_photos 50 6000x4000 FOLDER; for
//   HEICs, make_photos 12 4000x3000 FOLDER 10, then heif-enc -q 85 on each)
// Run under xvfb-run or offscreen.
#include "core/huge_page_image.h"
#include "core/picture.h"
#include "main_window/Form1.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureControl.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Asleep between events, as the program's own loop is: processEvents with a time limit never sleeps, and
// its spinning would take a core from the loads being timed.
void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    core::KeepFreedPictureMemory();  // as the window program does
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: arrow_keys FOLDER [PRESSES] [REPEAT_MS]\n");
        return 2;
    }
    const int presses = args.value(2, QStringLiteral("49")).toInt();
    const int repeatMs = args.value(3, QStringLiteral("33")).toInt();
    Form1 form(QString{});
    form.show();
    RunEventsFor(1000);
    form.findChild<platform::DirListBox*>(QStringLiteral("Dir1"))->setPath(args[1]);
    auto* files = form.findChild<platform::FileListBox*>(QStringLiteral("File1"));
    auto* width = form.findChild<QLineEdit*>(QStringLiteral("Text6"));
    files->setFocus();
    files->setCurrentRow(0);
    RunEventsFor(500);

    // CPU time from the first press to the last picture: on a busy machine the decodes' cost, which wall
    // time cannot show (a held key that starts no decode but the last one spends about one decode's).
    const auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpuSeconds();
    // The longest gap between ticks of a 2 ms timer is the longest stall.
    QElapsedTimer tick;
    qint64 longest = 0;
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    QObject::connect(&meter, &QTimer::timeout, [&] { longest = std::max(longest, tick.restart()); });
    tick.start();
    meter.start(2);
    const int last = std::min(files->count() - 1, presses);
    auto* preview = form.findChild<platform::PictureControl*>(QStringLiteral("Image2"));
    int loadingSeen = 0;
    for (int i = 0; i < last; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(files, &down);
        if (!preview->statusText().isEmpty()) ++loadingSeen;
        RunEventsFor(repeatMs);
    }
    QElapsedTimer release;
    release.start();
    const QString wanted = files->Path() + QLatin1Char('/') + files->List(last);
    QTimer wake;  // wakes the wait to give up at 10 s
    wake.start(100);
    while ((form.value("dosya_yolu").toString() != wanted || width->text().isEmpty()) &&
           release.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 follow = release.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    RunEventsFor(50);
    // The machine's load beside the figures: other work on its two cores shows in both.
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readAll().split(' ').mid(0, 3).join(' ') : "?";
    std::printf(
        "%d presses every %d ms: longest stall %lld ms, last picture shown %lld ms after the release "
        "(%d of them still loading when the press returned; %.2f s of CPU; load %s)\n",
        last, repeatMs, static_cast<long long>(longest), static_cast<long long>(follow), loadingSeen, cpu,
        load.constData());
    return 0;
}
