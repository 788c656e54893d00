#include "tests/support/HeifWriter.h"

#include <cstring>
#include <memory>

#include <libheif/heif.h>

namespace testpics {

namespace {

template <auto Free>
struct Freer {
    template <class T>
    void operator()(T* p) const { Free(p); }
};

bool Ok(const heif_error& e) { return e.code == heif_error_Ok; }

}  // namespace

QByteArray EncodeHeic(const QImage& stored, int orientation, const QByteArray& exifTiff) {
    const QImage rgb = stored.convertToFormat(QImage::Format_RGB888);
    const std::unique_ptr<heif_context, Freer<heif_context_free>> context(heif_context_alloc());
    const std::unique_ptr<heif_encoding_options, Freer<heif_encoding_options_free>> options(heif_encoding_options_alloc());
    heif_encoder* rawEncoder = nullptr;
    heif_image* rawImage = nullptr;
    heif_image_handle* rawHandle = nullptr;
    if (!Ok(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder))) return {};
    const std::unique_ptr<heif_encoder, Freer<heif_encoder_release>> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(rawEncoder, 95);
    if (!Ok(heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage)))
        return {};
    const std::unique_ptr<heif_image, Freer<heif_image_release>> image(rawImage);
    if (!Ok(heif_image_add_plane(rawImage, heif_channel_interleaved, rgb.width(), rgb.height(), 8))) return {};
    int stride = 0;
    std::uint8_t* rows = heif_image_get_plane(rawImage, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(rows + std::ptrdiff_t(y) * stride, rgb.constScanLine(y), std::size_t(rgb.width()) * 3);
    options->image_orientation = heif_orientation(orientation);
    if (!Ok(heif_context_encode_image(context.get(), rawImage, rawEncoder, options.get(), &rawHandle))) return {};
    const std::unique_ptr<heif_image_handle, Freer<heif_image_handle_release>> handle(rawHandle);
    if (!exifTiff.isEmpty() &&
        !Ok(heif_context_add_exif_metadata(context.get(), rawHandle, exifTiff.constData(), int(exifTiff.size()))))
        return {};
    QByteArray out;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = [](heif_context*, const void* data, size_t size, void* target) {
        static_cast<QByteArray*>(target)->append(static_cast<const char*>(data), qsizetype(size));
        return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
    };
    if (!Ok(heif_context_write(context.get(), &writer, &out))) return {};
    return out;
}

}  // namespace testpics
