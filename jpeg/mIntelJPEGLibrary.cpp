#include "jpeg/mIntelJPEGLibrary.h"

#include "core/formats.h"
#include "core/safe_replace.h"
#include "image/cDIBSection.h"
#include "platform/ijl.h"
#include "platform/runtime.h"

namespace mIntelJPEGLibrary {

namespace {

constexpr int kErrIjl = 26001;

[[noreturn]] void RaiseIjl(const QString& description, const core::Error& cause = {}) {
    platform::Raise(cause, kErrIjl, description, platform::ExeName() + QStringLiteral(".mIntelJPEGLibrary"));
}

// ijlFree on every way out once ijlInit has succeeded.
struct IjlSession {
    platform::JPEG_CORE_PROPERTIES props{};
    bool initialised = false;
    ~IjlSession() {
        if (initialised) platform::ijlFree(&props);
    }
};

// A refusal before writing is the runtime's file-access error; a write that failed half-way (a full
// disk) is reported as the library's own write failure, as it always was. Either way the engine's error
// goes along, so that the window can say why.
void Replace(const QString& fileName, QByteArrayView contents) {
    const core::Result<void> written = core::SafeReplace(fileName, contents);
    if (written) return;
    const core::Cause cause = written.error().cause;
    if (cause == core::Cause::DiskFull || cause == core::Cause::IoError)
        RaiseIjl(QStringLiteral("Failed to save to JPG %1").arg(platform::IJL_FILE_WRITE_ERROR), written.error());
    platform::Raise(written.error());
}

}  // namespace

bool WriteJpegFile(cDIBSection& image, const QString& fileName, std::int32_t quality) {
    const QString sFileName = fileName;

    IjlSession ijl;
    if (const int c = platform::ijlInit(&ijl.props); c != platform::IJL_OK)
        RaiseIjl(QStringLiteral("Failed to initialise the IJL library: %1").arg(c));
    ijl.initialised = true;

    platform::JPEG_CORE_PROPERTIES& p = ijl.props;
    p.DIBBytes = image.DIBSectionBitsPtr();
    p.DIBWidth = image.Width();
    p.DIBHeight = -image.Height();
    p.DIBPadBytes = image.BytesPerScanLine() - 3 * image.Width();
    p.JPGWidth = image.Width();
    p.JPGHeight = image.Height();
    p.jquality = quality;
    // Into memory first: the file on disk is only ever replaced by a complete JPEG.
    if (const int r = platform::ijlWrite(&p, platform::IJL_JBUFF_WRITEWHOLEIMAGE); r != platform::IJL_OK)
        RaiseIjl(QStringLiteral("Failed to save to JPG %1").arg(r));

    Replace(sFileName, QByteArrayView(p.JPGBytes, p.JPGSizeBytes));
    return true;
}

bool WritePictureFile(cDIBSection& image, const QString& fileName, std::int32_t quality,
                      const QImage& transparent) {
    const core::OutputFormat format = core::FormatOfName(fileName);
    if (format == core::OutputFormat::Jpeg) return WriteJpegFile(image, fileName, quality);
    // The buffer's rows run bottom-up; the picture encoded is the right way up.
    const QImage rows(image.DIBSectionBitsPtr(), image.Width(), image.Height(), image.BytesPerScanLine(),
                      QImage::Format_BGR888);
    const bool withAlpha = !transparent.isNull() && transparent.size() == QSize(image.Width(), image.Height());
    const core::Result<QByteArray> encoded =
        core::EncodePicture(withAlpha ? transparent : rows.mirrored(), {format, quality, false});
    if (!encoded)
        RaiseIjl(QStringLiteral("Failed to encode the picture: %1").arg(encoded.error().detail),
                 encoded.error());
    Replace(fileName, *encoded);
    return true;
}

}  // namespace mIntelJPEGLibrary
