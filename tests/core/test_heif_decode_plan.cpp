// The checks made of a HEIF before libheif decodes it: each lying or costly file of the hostile corpus
// is refused for its own reason (the corpus test proves the refusals cheap), libheif's own refusals keep
// libheif's reason, and honest files pass with what their decode really makes.

#include "core/heif_decode_plan.h"
#include "core/picture_decoder.h"
#include "tests/support/HostileCorpus.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

QByteArray Corpus(const char* file) {
    return testfiles::ReadBytes(QString::fromStdString((hostile::Folder() / file).string()));
}

struct Refusal {
    const char* file;
    const char* reason;  // words the message must hold
};

const Refusal kRefusals[] = {
    {"heic-grid-30000x30000-declared-128x128.heic", "a grid of 30000 x 30000 declared as 128 x 128"},
    {"avif-declared-64x64-coded-16384x16384.avif", "declared 64 x 64 is coded at 16384 x 16384"},
    {"avif-grid-64x64-of-one-8192x8192-tile.avif", "far larger than their grid"},
    {"heic-grid-of-2x2-tiles-of-64-declared-200x200.heic", "do not make a grid of 200 x 200"},
    {"heic-alpha-grid-of-1056-references.heic", "more than 1024 images"},
    {"heic-grid-1089-tiles-for-64x64.heic", "more than 1024 images"},
    {"heic-one-tile-repeated-into-8192x8192.heic", "referenced twice"},
    {"heic-1024-tiles-share-one-extent-8192x8192.heic", "share their coded data"},
    {"heic-item-list-claims-1-holds-2100.heic", "more than 2000 items"},
    {"heic-claims-16000x16000.heic", "a grid of 60 x 40 declared as 16000 x 16000"},
    // Past libheif's own limit, which our checks leave to it: its words, not a size it did not name.
    {"heic-unused-item-declared-70000x1.heic", "exceeds the maximum image size"},
};

TEST(HeifDecodePlan, EachLyingOrCostlyFileIsRefusedForItsReason) {
    for (const Refusal& row : kRefusals) {
        SCOPED_TRACE(row.file);
        const QByteArray bytes = Corpus(row.file);
        ASSERT_FALSE(bytes.isEmpty());
        const auto decoder = core::OpenPictureDecoder(bytes);
        ASSERT_FALSE(decoder.ok());
        EXPECT_TRUE(decoder.error().detail.contains(QLatin1String(row.reason))) << decoder.error().detail.toStdString();
    }
}

TEST(HeifDecodePlan, HonestFilesPassWithTheirRealWork) {
    // heif-enc codes the 60 x 40 marker as a grid of one 64 x 64 tile: padded, within the codec's rounding.
    const core::Result<core::HeifPlan> heic = core::PlanHeifDecode(Corpus("good-marker.heic"));
    ASSERT_TRUE(heic.ok()) << heic.error().detail.toStdString();
    EXPECT_EQ(heic->size, QSize(60, 40));
    EXPECT_EQ(heic->decodes, 1);
    EXPECT_EQ(heic->decodedPixels, 64 * 64 + 60 * 40);
    // avifenc's sequence header is among the item's OBUs, not in its av1C box.
    const core::Result<core::HeifPlan> avif = core::PlanHeifDecode(Corpus("good-marker.avif"));
    ASSERT_TRUE(avif.ok()) << avif.error().detail.toStdString();
    EXPECT_EQ(avif->size, QSize(60, 40));
    EXPECT_EQ(avif->decodedPixels, 60 * 40);
    // A thousand images beside the primary one cost nothing: only what its decode reaches counts.
    const core::Result<core::HeifPlan> many = core::PlanHeifDecode(Corpus("heif-1000-images.heic"));
    ASSERT_TRUE(many.ok()) << many.error().detail.toStdString();
    EXPECT_EQ(many->decodes, 1);
    // The item count a list declares is not the count of items it holds.
    EXPECT_TRUE(core::PlanHeifDecode(Corpus("heic-item-list-claims-65535.heic")).ok());
}

TEST(HeifDecodePlan, DeclaredSizeIsThePrimaryImagesFromTheHead) {
    EXPECT_EQ(core::HeifDeclaredSize(Corpus("heif-1000-images.heic")), QSize(60, 40));
    // Boxes cut short by the end of the head tell nothing.
    EXPECT_EQ(core::HeifDeclaredSize(Corpus("good-marker.avif").first(100)), QSize());
}

}  // namespace
