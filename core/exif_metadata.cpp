#include "core/exif_metadata.h"

#include "core/jpeg_encoder.h"
#include "core/tiff.h"

#include <algorithm>
#include <array>
#include <vector>

namespace core {

namespace {

constexpr std::uint32_t kExifDirectoryTag = 0x8769;
constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kShort = 3, kLong = 4;

// Make, Model, DateTime, Artist, Copyright.
constexpr std::array<std::uint32_t, 5> kMainTags{0x010F, 0x0110, 0x0132, 0x013B, 0x8298};
// ExposureTime, FNumber, ISO, DateTimeOriginal, DateTimeDigitized, the three OffsetTimes, FocalLength,
// the three SubSecTimes, FocalLengthIn35mmFilm, the lens's focal and aperture range, LensMake, LensModel.
constexpr std::array<std::uint32_t, 16> kExifTags{0x829A, 0x829D, 0x8827, 0x9003, 0x9004, 0x9010, 0x9011, 0x9012,
                                                  0x920A, 0x9290, 0x9291, 0x9292, 0xA405, 0xA432, 0xA433, 0xA434};

// An entry to write: its value bytes in the block's byte order.
struct Field {
    std::uint32_t tag, type, count;
    QByteArray value;
};

template <std::size_t N>
std::vector<Field> Kept(const std::vector<TiffEntry>& entries, const std::array<std::uint32_t, N>& wanted) {
    std::vector<Field> kept;
    for (const TiffEntry& e : entries)
        if (!e.value.isEmpty() && std::find(wanted.begin(), wanted.end(), e.tag) != wanted.end())
            kept.push_back({e.tag, e.type, e.count, e.value.toByteArray()});
    return kept;
}

// Writes a TIFF block in one byte order, so that the kept values are copied as they are.
class TiffWriter {
public:
    explicit TiffWriter(bool bigEndian) : bigEndian_(bigEndian) {}

    QByteArray Number(std::uint32_t value, int bytes) const {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) out += char((value >> (bigEndian_ ? 8 * (bytes - 1 - i) : 8 * i)) & 0xFF);
        return out;
    }
    // Header, then each directory (sorted, with no next one: no thumbnail), then the values too long
    // for an entry, word-aligned. The directory after the first is the one its pointer entry names.
    QByteArray Block(std::vector<Field> main, std::vector<Field> exif) const {
        const qsizetype mainAt = 8, exifAt = mainAt + Size(main.size() + (exif.empty() ? 0 : 1));
        if (!exif.empty()) main.push_back({kExifDirectoryTag, kLong, 1, Number(std::uint32_t(exifAt), 4)});
        const qsizetype dataAt = exifAt + (exif.empty() ? 0 : Size(exif.size()));
        QByteArray out = QByteArray(bigEndian_ ? "MM" : "II") + Number(42, 2) + Number(mainAt, 4);
        QByteArray data;
        for (std::vector<Field>* directory : {&main, &exif}) {
            if (directory->empty()) continue;
            std::sort(directory->begin(), directory->end(), [](const Field& a, const Field& b) { return a.tag < b.tag; });
            out += Number(std::uint32_t(directory->size()), 2);
            for (const Field& f : *directory) {
                out += Number(f.tag, 2) + Number(f.type, 2) + Number(f.count, 4);
                if (f.value.size() <= 4) {
                    out += f.value + QByteArray(4 - f.value.size(), '\0');
                } else {
                    out += Number(std::uint32_t(dataAt + data.size()), 4);
                    data += f.value;
                    if (data.size() % 2) data += '\0';
                }
            }
            out += Number(0, 4);
        }
        return out + data;
    }

private:
    static qsizetype Size(std::size_t entries) { return 2 + 12 * qsizetype(entries) + 4; }
    bool bigEndian_;
};

}  // namespace

Result<QByteArray> KeptExif(QByteArrayView tiff) {
    if (tiff.isEmpty()) return QByteArray();
    const std::optional<TiffReader> reader = TiffReader::Open(tiff);
    if (!reader) return Error{Cause::MetadataUnreadable, QStringLiteral("unreadable Exif block")};
    // A first directory past the block's end: a block cut short or lying, not one with nothing in it.
    if (!reader->Has(reader->firstDirectory(), 2))
        return Error{Cause::MetadataUnreadable, QStringLiteral("unreadable Exif block")};
    const std::vector<TiffEntry> main = reader->Directory(reader->firstDirectory());
    std::vector<Field> kept = Kept(main, kMainTags), exif;
    for (const TiffEntry& e : main)
        if (e.tag == kExifDirectoryTag) exif = Kept(reader->Directory(reader->Number(e)), kExifTags);
    if (kept.empty() && exif.empty()) return QByteArray();

    const TiffWriter writer(reader->bigEndian());
    // The pixels a copy carries are upright.
    kept.push_back({kOrientationTag, kShort, 1, writer.Number(1, 2)});
    QByteArray app1 = QByteArray("Exif\0\0", 6) + writer.Block(std::move(kept), std::move(exif));
    if (app1.size() > kMaxApp1Payload)
        return Error{Cause::MetadataUnreadable,
                     QStringLiteral("Exif block too large (%1 bytes)").arg(app1.size())};
    return app1;
}

}  // namespace core
