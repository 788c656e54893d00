// libFuzzer harness over the picture loader: any bytes, under any picture extension, either load into a
// picture whose pixels can be had at a small and at full size, or fail with an error and its message.
// Nothing else: no crash, no sanitizer report, no picture beyond the loader's limit.

#include "core/picture.h"
#include "core/picture_decoder.h"
#include "fuzz/Harness.h"
#include "fuzz/PictureFile.h"

#include <algorithm>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::PictureFile file(data, size);
    const core::Result<core::Picture> picture = core::LoadPicture(file.path());
    if (!picture) {
        fuzz::Require(!picture.error().detail.isEmpty(), "a refusal without a message");
        return 0;
    }
    const QSize full = picture->size();
    fuzz::Require(full.width() > 0 && full.height() > 0, "a loaded picture has no size");
    fuzz::Require(static_cast<std::int64_t>(full.width()) * full.height() <= core::kMaxPicturePixels,
                  "a picture beyond the loader's limit was admitted");
    if (!fuzz::WithinDecodeBudget(full)) return 0;

    const core::Result<QImage> small = picture->pixels(QSize(64, 64));
    fuzz::Require(small.ok(), "no pixels at a small size");
    fuzz::Require(small->width() <= full.width() && small->height() <= full.height(),
                  "small pixels larger than the picture");
    fuzz::Require(small->width() >= std::min(64, full.width()) && small->height() >= std::min(64, full.height()),
                  "small pixels do not cover the size asked for");

    const core::Result<QImage> all = picture->pixels();
    fuzz::Require(all.ok() && all->size() == full, "full pixels differ from the picture's size");
    return 0;
}
