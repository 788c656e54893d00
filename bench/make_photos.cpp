// Seeded camera-like pictures for the batch benchmark: make_photos COUNT WIDTHxHEIGHT FOLDER [NOISE [KIND]]
// Writes FOLDER/photo-001.jpg ... at quality 92 with halved colour, as cameras save them; NOISE is the
// sensor noise's amplitude (default 3, smooth; 10 for a camera's noisy photo). KIND png writes PNGs (as this
// program writes them) and webp lossy WebPs at quality 80 instead, as photos are shared on the web.
#include "bench/camera_like.h"
#include "core/encode_picture.h"
#include "core/jpeg_encoder.h"
#include "core/parallel.h"
#include "core/safe_replace.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList size = args.value(2).split(QLatin1Char('x'));
    const int count = args.value(1).toInt(), width = size.value(0).toInt(), height = size.value(1).toInt();
    const int noise = args.size() > 4 ? args[4].toInt() : 3;
    const QString kind = args.value(5, QStringLiteral("jpg"));
    const bool knownKind =
        kind == QLatin1String("jpg") || kind == QLatin1String("png") || kind == QLatin1String("webp");
    if (args.size() < 4 || args.size() > 6 || count < 1 || width < 1 || height < 1 || noise < 0 ||
        noise > 64 || !knownKind) {
        std::fprintf(stderr, "usage: make_photos COUNT WIDTHxHEIGHT FOLDER [NOISE [jpg|png|webp]]\n");
        return 2;
    }
    QDir().mkpath(args[3]);
    bool ok = true;
    const core::Result<void> made = core::ParallelFor(nullptr, count, [&](int i) {
        const QImage photo = CameraLike(width, height, std::uint32_t(i + 1), noise);
        const core::Result<QByteArray> bytes =
            kind == QLatin1String("png") ? core::EncodePicture(photo, {core::OutputFormat::Png})
            : kind == QLatin1String("webp")
                ? core::EncodePicture(photo, {core::OutputFormat::Webp, 80})
                : core::EncodeJpeg(core::PixelRows::Of(photo), 92, core::ChromaSampling::HalfBoth);
        const QString path = QDir(args[3]).filePath(
            QStringLiteral("photo-%1.%2").arg(i + 1, 3, 10, QLatin1Char('0')).arg(kind));
        if (!bytes || !core::SafeReplace(path, *bytes)) ok = false;
    });
    return ok && made ? 0 : 1;
}
