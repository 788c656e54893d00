// KeptExif: a copy carries the date, camera, lens, exposure, artist and copyright fields, Orientation 1,
// and nothing of where the photo was taken, its maker notes or its thumbnail; in either byte order. A
// block it cannot read or carry is an error, which leaves the copy without metadata.
#include "core/exif_metadata.h"
#include "core/tiff.h"

#include <gtest/gtest.h>
#include <map>

namespace {

// A TIFF block: a main directory (Make, Model, Orientation 6, Artist, Copyright, pointers to the Exif and
// GPS directories, a thumbnail directory after it) and an Exif directory (date taken, lens, a maker note).
QByteArray Camera(bool big) {
    const auto n = [big](std::uint32_t v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) out += char((v >> (big ? 8 * (bytes - 1 - i) : 8 * i)) & 0xFF);
        return out;
    };
    const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t count, QByteArray value) {
        return n(tag, 2) + n(type, 2) + n(count, 4) + value.leftJustified(4, '\0');
    };
    // Offsets: header 8, main directory 8 (8 entries: 2 + 96 + 4 = 102) -> 110, Exif directory 110 (3
    // entries: 42) -> 152, GPS directory 152 (1 entry: 18) -> 170, thumbnail directory 170 (1 entry: 18)
    // -> 188, data.
    const QByteArray make("Torv\0", 5), model("Kamera X100\0", 12), date("2026:12:07 10:11:12\0", 20),
        lens("Torv 35mm F1.4\0", 15), note("secret maker note"), copyright("(c) Ayse Y.\0", 12);
    QByteArray data;
    const auto at = [&](const QByteArray& bytes) {
        const std::uint32_t where = 188 + std::uint32_t(data.size());
        data += bytes;
        if (data.size() % 2) data += '\0';
        return n(where, 4);
    };
    QByteArray block = QByteArray(big ? "MM" : "II") + n(42, 2) + n(8, 4);
    block += n(8, 2) + entry(0x010F, 2, 5, at(make)) + entry(0x0110, 2, 12, at(model)) + entry(0x0112, 3, 1, n(6, 2)) +
             entry(0x0132, 2, 20, at(date)) + entry(0x013B, 2, 4, "Ayse") + entry(0x8298, 2, 12, at(copyright)) +
             entry(0x8769, 4, 1, n(110, 4)) + entry(0x8825, 4, 1, n(152, 4)) + n(170, 4);
    block += n(3, 2) + entry(0x9003, 2, 20, at(date)) + entry(0x927C, 7, 17, at(note)) + entry(0xA434, 2, 15, at(lens)) +
             n(0, 4);
    block += n(1, 2) + entry(0x0002, 5, 3, at(QByteArray(24, '\x07'))) + n(0, 4);  // GPS latitude
    block += n(1, 2) + entry(0x0201, 4, 1, n(400, 4)) + n(0, 4);                   // a thumbnail's offset
    return block + data;
}

// Tag to value bytes of a directory.
std::map<std::uint32_t, QByteArray> Fields(const core::TiffReader& reader, std::uint32_t offset) {
    std::map<std::uint32_t, QByteArray> fields;
    for (const core::TiffEntry& e : reader.Directory(offset)) fields[e.tag] = e.value.toByteArray();
    return fields;
}

}  // namespace

TEST(KeptExif, CarriesWhenAndWithWhatButNeverWhere) {
    for (const bool big : {false, true}) {
        const core::Result<QByteArray> keptOne = core::KeptExif(Camera(big));
        ASSERT_TRUE(keptOne.ok());
        const QByteArray& kept = *keptOne;
        ASSERT_TRUE(kept.startsWith(QByteArray("Exif\0\0", 6))) << "big-endian " << big;
        const QByteArray tiff = kept.sliced(6);
        const std::optional<core::TiffReader> reader = core::TiffReader::Open(tiff);
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->bigEndian(), big);
        const auto main = Fields(*reader, reader->firstDirectory());
        EXPECT_EQ(main.at(0x010F), QByteArray("Torv\0", 5));
        EXPECT_EQ(main.at(0x0110), QByteArray("Kamera X100\0", 12));
        EXPECT_EQ(main.at(0x0132), QByteArray("2026:12:07 10:11:12\0", 20));
        EXPECT_EQ(main.at(0x013B), QByteArray("Ayse"));
        EXPECT_EQ(main.at(0x8298), QByteArray("(c) Ayse Y.\0", 12));
        EXPECT_FALSE(main.count(0x8825)) << "a GPS pointer";
        std::uint32_t orientation = 0, exifAt = 0;
        for (const core::TiffEntry& e : reader->Directory(reader->firstDirectory())) {
            if (e.tag == 0x0112) orientation = reader->Number(e);
            if (e.tag == 0x8769) exifAt = reader->Number(e);
        }
        EXPECT_EQ(orientation, 1u);
        const auto exif = Fields(*reader, exifAt);
        EXPECT_EQ(exif.at(0x9003), QByteArray("2026:12:07 10:11:12\0", 20));
        EXPECT_EQ(exif.at(0xA434), QByteArray("Torv 35mm F1.4\0", 15));
        EXPECT_FALSE(exif.count(0x927C)) << "a maker note";
        EXPECT_FALSE(tiff.contains("secret"));
        EXPECT_FALSE(tiff.contains(QByteArray(24, '\x07')));
        EXPECT_EQ(reader->U32(reader->firstDirectory() + 2 + 12 * qsizetype(main.size())), 0u) << "a thumbnail";
    }
}

TEST(KeptExif, NothingToKeepGivesNothingAndAnUnreadableBlockAnError) {
    EXPECT_TRUE(core::KeptExif({})->isEmpty());
    EXPECT_EQ(core::KeptExif("not a TIFF block").error().cause, core::Cause::MetadataUnreadable);
    EXPECT_EQ(core::KeptExif(QByteArray("MM\0\x2A\x7F\xFF\xFF\xF0", 8)).error().cause,
              core::Cause::MetadataUnreadable);
    // Only an orientation and a GPS pointer: nothing a copy may carry.
    const QByteArray bare("II\x2A\0\x08\0\0\0\x02\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0"
                          "\x25\x88\x04\0\x01\0\0\0\x26\0\0\0\0\0\0\0",
                          38);
    EXPECT_TRUE(core::KeptExif(bare)->isEmpty());
    // Every truncation of a real block is read without harm.
    const QByteArray full = Camera(false);
    for (qsizetype n = 0; n < full.size(); ++n) (void)core::KeptExif(full.first(n));
}
