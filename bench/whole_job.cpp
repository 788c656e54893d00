// The whole job over the engine, as a script would do it: load, fit into 400 x 400, shrink, write at
// quality 90.   whole_job INPUT OUTPUT [--png RESULT.png]   (--png also saves the shrink's result)
#include "core/fit.h"
#include "core/jpeg_encoder.h"
#include "core/picture.h"
#include "core/safe_replace.h"
#include "core/shrink.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 && !(args.size() == 5 && args[3] == QLatin1String("--png"))) {
        std::fprintf(stderr, "usage: whole_job INPUT OUTPUT [--png RESULT.png]\n");
        return 2;
    }
    core::AllowLargeImageReads();
    const auto fail = [&](const core::Error& e) {
        std::fprintf(stderr, "whole_job: %s: %s\n", qPrintable(args[1]), qPrintable(e.detail));
        return 1;
    };
    const core::Result<core::Picture> picture = core::LoadPicture(args[1]);
    if (!picture) return fail(picture.error());
    const core::Result<core::Fit> fit = core::FitIntoBox(picture->size(), QSize(400, 400));
    if (!fit) return fail(fit.error());
    const core::Result<QImage> shrunk = core::ShrinkPicture(*picture, fit->pixels());
    if (!shrunk) return fail(shrunk.error());
    const core::Result<QByteArray> jpeg = core::EncodeJpeg(core::PixelRows::Of(*shrunk), 90);
    if (!jpeg) return fail(jpeg.error());
    if (const core::Result<void> written = core::SafeReplace(args[2], *jpeg); !written) return fail(written.error());
    if (args.size() == 5 && !shrunk->save(args[4], "PNG"))
        return fail({core::Cause::IoError, QStringLiteral("PNG not written")});
    return 0;
}
