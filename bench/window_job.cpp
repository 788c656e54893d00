// The whole job through the window: the main window started offscreen, the picture picked in the file list
// (its preview painted), "2-Küçült" into 400 x 400 (or --box N x N), and Picture2 written as a JPEG at
// quality 90 through the writer "3-Kaydet" uses, without its dialog.
//   window_job INPUT OUTPUT [--timings] [--box N] [--png RESULT.png]
// --timings prints click-to-preview (the first pick after start-up, with its CPU time over all threads, and
// the median of four later picks), shrink and write times in ms (the shrink's CPU time too) to stderr;
// TORV_COLD=1 in the environment leaves out the warming of picture memory before the first pick. --png also
// saves the shrink's result before JPEG coding. The exit code is non-zero on any failure or message box.
#include "core/huge_page_image.h"
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// The process's CPU time over all its threads, in ms: on a shared machine the steadier figure.
double CpuMs() { return 1e3 * double(std::clock()) / CLOCKS_PER_SEC; }

int Fail(const char* what) {
    std::fprintf(stderr, "window_job: %s\n", what);
    return 1;
}

template <class T>
T* Control(Form1& form, const char* name) {
    return form.findChild<T*>(QLatin1String(name));
}

int Run(int argc, char** argv) {
    QString input, output, png, box = QStringLiteral("400");
    bool timings = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--timings"))
            timings = true;
        else if (arg == QLatin1String("--png") && i + 1 < argc)
            png = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--box") && i + 1 < argc)
            box = QString::fromLocal8Bit(argv[++i]);
        else if (input.isEmpty())
            input = arg;
        else if (output.isEmpty())
            output = arg;
        else
            return Fail("usage: window_job INPUT OUTPUT [--timings] [--box N] [--png RESULT.png]");
    }
    if (input.isEmpty() || output.isEmpty())
        return Fail("usage: window_job INPUT OUTPUT [--timings] [--box N] [--png RESULT.png]");
    const QFileInfo picture(input);
    if (!picture.isFile()) return Fail("no such input file");

    // As the window program does. TORV_COLD=1 does it only once the window is up, after the main window's
    // loader has passed over the warming of picture memory that keeping it allows, to show what that saves.
    const bool cold = !qEnvironmentVariableIsEmpty("TORV_COLD");
    if (!cold) core::KeepFreedPictureMemory();
    QApplication app(argc, argv);
    // Any message box means the job went wrong; none may wait for a click.
    bool boxShown = false;
    platform::SetMsgBoxHandler([&boxShown](const QString& prompt, int, const QString&) {
        std::fprintf(stderr, "window_job: message box: %s\n", qPrintable(prompt));
        boxShown = true;
        return int(platform::vbOK);
    });

    // No advertising server: the panes give up at once instead of waiting on a lookup.
    Form1 form{QString()};
    form.show();
    // Up for a moment first, as a user would see it before picking: its first painting is not the job's.
    {
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }
    if (cold) core::KeepFreedPictureMemory();

    auto* files = Control<platform::FileListBox>(form, "File1");
    auto* preview = Control<platform::PictureControl>(form, "Image2");
    auto* text1 = Control<QLineEdit>(form, "Text1");
    auto* text2 = Control<QLineEdit>(form, "Text2");
    auto* shrink = Control<QPushButton>(form, "Command3");
    auto* picture2 = Control<platform::PictureBox>(form, "Picture2");
    if (!files || !preview || !text1 || !text2 || !shrink || !picture2) return Fail("a control is missing");

    files->setPath(picture.absolutePath());
    const QList<QListWidgetItem*> found = files->findItems(picture.fileName(), Qt::MatchExactly);
    if (found.size() != 1) return Fail("the picture is not in the file list (its type is not listed?)");

    // Click-to-preview: the click on an entry until the preview has painted its picture. The first pick
    // after start-up, then later ones as a user browsing the folder makes them (another picture of the folder
    // and this one in turn), ending on this one.
    QListWidgetItem* other = nullptr;
    for (int i = 0; i < files->count() && !other; ++i) {
        if (files->item(i) != found.front()) other = files->item(i);
    }
    const auto pick = [&](QListWidgetItem* item) -> std::pair<double, double> {
        const auto start = Clock::now();
        const double cpu = CpuMs();
        const QPointF at = files->visualItemRect(item).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, files->viewport()->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(files->viewport(), &event);
        }
        // A large picture may still be loading when the click returns: wait for it to be shown, asleep as
        // the program's own event loop waits (processEvents with a time limit never sleeps, and its spinning
        // would take a core from the decode); the timer wakes the wait now and then to give up at 10 s.
        QTimer wake;
        wake.start(100);
        while (preview->Picture().isEmpty() && !boxShown && Ms(start) < 10'000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        preview->repaint();
        return {Ms(start), CpuMs() - cpu};
    };
    const auto [previewMs, previewCpu] = pick(found.front());
    if (boxShown || preview->Picture().isEmpty()) return Fail("the picture did not load");
    std::vector<double> later;
    for (int i = 0; i < 4; ++i) {
        later.push_back(pick(other && i % 2 == 0 ? other : found.front()).first);
        if (boxShown || preview->Picture().isEmpty()) return Fail("a picture did not load");
    }
    std::sort(later.begin(), later.end());
    const double laterMs = (later[1] + later[2]) / 2;

    text1->setText(box);
    text2->setText(box);
    auto start = Clock::now();
    double cpu = CpuMs();
    shrink->click();
    const double shrinkMs = Ms(start), shrinkCpu = CpuMs() - cpu;
    if (boxShown || picture2->Picture().isEmpty()) return Fail("the shrink failed");

    start = Clock::now();
    bool written = false;
    {
        cDIBSection dib;
        dib.CreateFromPicture(picture2->Picture());
        written = mIntelJPEGLibrary::WriteJpegFile(dib, output, 90);
    }
    const double writeMs = Ms(start);
    if (!written || boxShown) return Fail("the JPEG was not written");

    if (timings)
        std::fprintf(stderr,
                     "click-to-preview %.1f ms (CPU %.0f; later picks %.1f ms), shrink %.1f ms (CPU %.0f), "
                     "write %.1f ms (%dx%d)\n",
                     previewMs, previewCpu, laterMs, shrinkMs, shrinkCpu, writeMs,
                     picture2->Picture().pixelSize().width(), picture2->Picture().pixelSize().height());
    if (!png.isEmpty() && !picture2->Picture().pixels().save(png, "PNG"))
        return Fail("the PNG was not written");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
