// libFuzzer harness over the road from a loaded picture to a saved file: load, fit into a box, shrink,
// encode, replace. Whatever the loader admits goes through to a JPEG on disk of exactly the fitted size,
// or fails with an error and its message; the input's length picks the box and the quality.

#include "core/fit.h"
#include "core/jpeg_encoder.h"
#include "core/picture.h"
#include "core/safe_replace.h"
#include "core/shrink.h"
#include "fuzz/Harness.h"
#include "fuzz/PictureFile.h"

#include <QFile>
#include <QImageReader>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::PictureFile file(data, size);
    const core::Result<core::Picture> picture = core::LoadPicture(file.path());
    if (!picture || !fuzz::WithinDecodeBudget(picture->size())) return 0;

    const int side = 1 + int(size % 500);
    const core::Result<core::Fit> fit = core::FitIntoBox(picture->size(), QSize(side, side));
    fuzz::Require(fit.ok(), "no fit of a loaded picture into a box");
    const QSize wanted = fit->pixels();
    fuzz::Require(wanted.width() <= std::max(side, 1) && wanted.height() <= std::max(side, 1),
                  "the fit does not lie in the box");

    const core::Result<QImage> shrunk = core::ShrinkPicture(*picture, wanted);
    if (!shrunk) {
        fuzz::Require(!shrunk.error().detail.isEmpty(), "a failed shrink without a message");
        return 0;
    }
    fuzz::Require(shrunk->size() == wanted && shrunk->format() == QImage::Format_RGB32,
                  "the shrink's result differs from the size asked for");
    const core::Result<QByteArray> jpeg =
        core::EncodeJpeg(core::PixelRows::Of(*shrunk), 1 + int(size % 100));
    fuzz::Require(jpeg.ok(), "the encoder refused a shrunk picture");
    fuzz::Require(core::SafeReplace(file.outputPath(), *jpeg).ok(), "the writer failed in a private folder");
    fuzz::Require(QImageReader(file.outputPath()).size() == wanted, "the file written is not the picture");
    return 0;
}
