// The batch window over a large folder: how long it takes to open, when the count comes, and the longest
// the window's thread goes without handling its events while the user opens it, ticks "Var olan sonuçları
// değiştir", changes the format and the box, types a results folder and takes pictures out of the list.
//   batch_window FOLDER [COUNT]   (FOLDER is filled with COUNT small JPEGs, 50000 by default, when empty)
// Run under xvfb-run or offscreen.
#include "batch/plan.h"
#include "batch_window/BatchWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QBuffer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

// The longest gap between ticks of a 2 ms timer since the last Take().
class Stalls {
public:
    Stalls() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { longest_ = std::max(longest_, clock_.restart()); });
        timer_.setTimerType(Qt::PreciseTimer);
        clock_.start();
        timer_.start(2);
    }
    qint64 Take() {
        const qint64 longest = std::max(longest_, clock_.elapsed());
        longest_ = 0;
        clock_.restart();
        return longest;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

// Asleep between events, as the program's own loop is.
void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Until the count shows (or 60 s); how long that took.
qint64 WaitForCount(BatchWindow& window) {
    QElapsedTimer clock;
    clock.start();
    while (window.counting() && clock.elapsed() < 60000) RunEventsFor(5);
    return clock.elapsed();
}

bool Fill(const QString& folder, int count) {
    QDir().mkpath(folder);
    if (!QDir(folder).entryList(QDir::Files).isEmpty()) return true;
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPEG", 90);
    for (int i = 0; i < count; ++i) {
        QFile file(QDir(folder).filePath(QStringLiteral("foto-%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size()) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: batch_window FOLDER [COUNT]\n");
        return 2;
    }
    if (!Fill(args[1], args.value(2, QStringLiteral("50000")).toInt())) return 1;
    batch::Options options;
    options.box = QSize(400, 400);
    options.paths = {args[1]};
    QElapsedTimer clock;
    clock.start();
    const std::size_t planned = batch::Plan(options).size();
    std::printf("the plan alone (on its own thread in the window): %zu pictures in %lld ms\n", planned,
                static_cast<long long>(clock.elapsed()));

    QWidget main;  // stands for the main window
    main.resize(400, 300);
    main.show();
    RunEventsFor(500);
    Stalls stalls;
    clock.restart();
    BatchWindow* window = BatchWindow::Open(&main, {args[1]});
    const qint64 opened = clock.elapsed();
    if (!QTest::qWaitForWindowExposed(window)) return 1;
    const qint64 shown = clock.elapsed();
    const qint64 counted = WaitForCount(*window) + shown;
    std::printf("opened in %lld ms, shown after %lld ms, \"%s\" after %lld ms; longest stall %lld ms\n",
                static_cast<long long>(opened), static_cast<long long>(shown),
                qPrintable(window->findChild<QLabel*>(QStringLiteral("pictures"))->text()),
                static_cast<long long>(counted), static_cast<long long>(stalls.Take()));

    // Each choice, made while the count of the one before may still be running, then all counted.
    auto* overwrite = window->findChild<QCheckBox*>(QStringLiteral("overwrite"));
    const auto measure = [&](const char* what, auto act) {
        stalls.Take();
        clock.restart();
        act();
        const qint64 acted = clock.elapsed();
        RunEventsFor(100);
        const qint64 counted = WaitForCount(*window) + acted + 100;
        std::printf("%-44s handled in %4lld ms, counted after %5lld ms; longest stall %lld ms\n", what,
                    static_cast<long long>(acted), static_cast<long long>(counted),
                    static_cast<long long>(stalls.Take()));
    };
    measure("\"Var olan sonuçları değiştir\" ticked 5 times", [&] {
        for (int i = 0; i < 5; ++i) {
            overwrite->click();
            RunEventsFor(150);
        }
    });
    measure("format changed to PNG and back", [&] {
        auto* format = window->findChild<QComboBox*>(QStringLiteral("format"));
        format->setCurrentIndex(1);
        RunEventsFor(150);
        format->setCurrentIndex(0);
    });
    measure("\"Bu klasöre\" typed, then Tab", [&] {
        window->findChild<QRadioButton*>(QStringLiteral("toFolder"))->click();
        auto* folder = window->findChild<QLineEdit*>(QStringLiteral("folder"));
        folder->setFocus();
        QTest::keyClicks(folder, QDir::temp().filePath(QStringLiteral("torv-bench-sonuclar")), Qt::NoModifier, 30);
        QTest::keyClick(folder, Qt::Key_Tab);  // Enter would start the batch
    });
    measure("1000 pictures taken out with Delete", [&] {
        auto* list = window->findChild<QListView*>(QStringLiteral("list"));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        list->selectionModel()->select(QItemSelection(list->model()->index(0, 0), list->model()->index(999, 0)),
                                       QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(list, Qt::Key_Delete);
    });
    std::printf("count at the end: \"%s\"\n", qPrintable(window->findChild<QLabel*>(QStringLiteral("pictures"))->text()));
    window->close();
    RunEventsFor(50);
    return 0;
}
