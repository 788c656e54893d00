// libFuzzer harness over the road from a loaded picture to a saved file: picture -> image buffer ->
// JPEG writer. Whatever the loader admits, the buffer takes or refuses without a message and the writer
// writes a file or raises a runtime error; the input's length picks the quality (1 to 100).

#include "fuzz/Harness.h"
#include "fuzz/PictureFile.h"
#include "image/cDIBSection.h"
#include "jpeg/mIntelJPEGLibrary.h"
#include "platform/picture.h"
#include "platform/runtime.h"

#include <QFileInfo>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::StartQt(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::PictureFile file(data, size);
    try {
        const platform::Picture picture = platform::LoadPicture(file.path());
        if (!fuzz::WithinDecodeBudget(picture.pixelSize())) return 0;
        cDIBSection dib;
        dib.CreateFromPicture(picture);
        if (dib.DIBSectionBitsPtr() == nullptr) return 0;  // refused, as the buffer does: no message
        fuzz::Require(
            dib.Width() == picture.pixelSize().width() && dib.Height() == picture.pixelSize().height(),
            "the buffer's size differs from the picture's");

        const std::int32_t quality = 1 + static_cast<std::int32_t>(size % 100);
        if (mIntelJPEGLibrary::WriteJpegFile(dib, file.outputPath(), quality)) {
            fuzz::Require(QFileInfo(file.outputPath()).size() > 0,
                          "the writer reported a file it did not write");
        }
    } catch (const platform::RuntimeError&) {
        // A bad file refused by the loader, or a save the writer could not make.
    }
    return 0;
}
