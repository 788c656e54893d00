// How long the window makes its user wait, from the click: the open and the save dialog until they are
// on the screen, and the preview of a 6000 x 4000 photo, the first one after start-up and later ones.
//   window_times [FOLDER]   (pictures are made there; a temporary folder by default)
// Run it under a real X server (xvfb-run) or offscreen; the window opens as the program opens it, and
// waits a second, as a user looking at it would, before the first click.
#include "bench/camera_like.h"
#include "core/huge_page_image.h"
#include "core/jpeg_encoder.h"
#include "core/picture.h"
#include "core/safe_replace.h"
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/msgbox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace {

// Asleep between events, as the program's own loop is: processEvents with a time limit never sleeps.
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// From the click until the modal dialog is on the screen; the dialog is then cancelled.
double DialogMs(QPushButton* button) {
    QElapsedTimer clock;
    double shown = -1;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        shown = clock.nsecsElapsed() / 1e6;
        poll.stop();
        dialog->reject();
    });
    poll.start();
    clock.start();
    button->click();
    return shown;
}

// From the click on the list entry until the preview has painted the picture.
double PreviewMs(platform::FileListBox* files, platform::PictureControl* preview, const QString& name) {
    QElapsedTimer clock;
    clock.start();
    files->setCurrentItem(files->findItems(name, Qt::MatchExactly).front());
    preview->repaint();
    return clock.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    core::KeepFreedPictureMemory();  // as the window program does
    QApplication app(argc, argv);
    core::AllowLargeImageReads();
    platform::SetMsgBoxHandler([](const QString& prompt, int, const QString&) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(prompt));
        return int(platform::vbOK);
    });
    QTemporaryDir scratch;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : scratch.path();
    QDir().mkpath(folder);
    for (int i = 1; i <= 4; ++i) {
        const QString path = QDir(folder).filePath(QStringLiteral("photo-%1.jpg").arg(i));
        if (QFile::exists(path)) continue;
        const core::Result<QByteArray> jpeg =
            core::EncodeJpeg(core::PixelRows::Of(CameraLike(6000, 4000, std::uint32_t(i))), 92,
                             core::ChromaSampling::HalfBoth);
        if (!jpeg || !core::SafeReplace(path, *jpeg)) return 1;
    }
    qputenv("HOME", QFile::encodeName(folder));

    QElapsedTimer started;
    started.start();
    Form1 form{QString()};
    form.show();
    Wait(1000);
    auto* files = form.findChild<platform::FileListBox*>(QStringLiteral("File1"));
    auto* preview = form.findChild<platform::PictureControl*>(QStringLiteral("Image2"));
    files->setPath(folder);
    std::printf("window up and idle after %.0f ms\n", started.nsecsElapsed() / 1e6 - 1000);

    std::printf("first preview after start-up (6000 x 4000): %.1f ms\n",
                PreviewMs(files, preview, "photo-1.jpg"));
    for (int i = 2; i <= 4; ++i)
        std::printf("later preview (6000 x 4000): %.1f ms\n",
                    PreviewMs(files, preview, QStringLiteral("photo-%1.jpg").arg(i)));
    form.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    for (int i = 0; i < 2; ++i) {
        std::printf("open dialog on the screen: %.1f ms\n",
                    DialogMs(form.findChild<QPushButton*>(QStringLiteral("Command2"))));
        std::printf("save dialog on the screen: %.1f ms\n",
                    DialogMs(form.findChild<QPushButton*>(QStringLiteral("cmdSaveStdPic"))));
    }
    return 0;
}
