// The format table: every entry whole and unambiguous, each written format known again by its own first
// bytes, names mapped to the written formats, and the one rule for reduced decodes.
#include "core/formats.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using core::OutputFormat;

TEST(FormatTable, EachEntryIsWholeAndItsExtensionsItsOwn) {
    std::set<QString> extensions;
    for (const core::Format& f : core::Formats()) {
        SCOPED_TRACE(f.name);
        EXPECT_TRUE(f.headSize && f.open && *f.openName);
        EXPECT_TRUE(f.recognise || f.qtName) << "nothing tells its files apart";
        for (const QString& e : core::ExtensionsOf(f)) {
            EXPECT_EQ(e, e.toLower());
            EXPECT_TRUE(extensions.insert(e).second) << qPrintable(e);
        }
        for (const QString& type : QString::fromLatin1(f.mimeTypes).split(u' '))
            EXPECT_TRUE(type.startsWith(QLatin1String("image/"))) << qPrintable(type);
        EXPECT_EQ(bool(f.written), f.encode != nullptr);
        EXPECT_EQ(bool(f.written), f.mostPixelsASide > 0);
        EXPECT_EQ(bool(f.written), f.lossy || f.lossless);
    }
    EXPECT_EQ(core::WrittenFormats().first(), OutputFormat::Jpeg);
}

TEST(FormatTable, EachWrittenFormatIsKnownAndSizedByItsOwnHead) {
    for (const OutputFormat written : core::WrittenFormats()) {
        const core::Format& format = core::FormatOf(written);
        SCOPED_TRACE(format.name);
        const core::Result<QByteArray> bytes =
            core::EncodePicture(testpics::Gradient(37, 21), {written, 90, false});
        ASSERT_TRUE(bytes.ok());
        EXPECT_EQ(core::RecognisedFormat(*bytes), &format);
        EXPECT_EQ(core::PictureHeadSize(*bytes), QSize(37, 21));
        EXPECT_EQ(core::FormatOfName(QStringLiteral("a") + core::ExtensionOf(written).toUpper()), written);
    }
}

TEST(FormatTable, NamesOtherThanWrittenFormatsAreWrittenAsJpeg) {
    const struct {
        const char* name;
        OutputFormat format;
    } cases[] = {{"x.jpeg", OutputFormat::Jpeg}, {"x.gif", OutputFormat::Jpeg},
                 {"png", OutputFormat::Jpeg},    {"x.png.jpg", OutputFormat::Jpeg},
                 {".png", OutputFormat::Png},    {"x.jpg.Png", OutputFormat::Png}};
    for (const auto& c : cases)
        EXPECT_EQ(core::FormatOfName(QString::fromLatin1(c.name)), c.format) << c.name;
}

TEST(ReducedDecodeSize, SmallestThatCoversTheTarget) {
    const QSize full(4000, 3000);
    const core::Reduction dct{true, 8}, eighth{false, 8}, any{false, 0}, none{false, 1};
    const struct {
        QSize target;
        core::Reduction reduction;
        QSize size;
        int denominator;
    } cases[] = {
        {{500, 375}, dct, {500, 375}, 8},    {{501, 375}, dct, {1000, 750}, 4},
        {{2001, 10}, dct, full, 1},          {{500, 375}, {true, 2}, {2000, 1500}, 2},
        {{100, 100}, eighth, {500, 375}, 1}, {{1000, 100}, eighth, {1000, 750}, 1},
        {{100, 1500}, any, {2000, 1500}, 1}, {{100, 100}, none, full, 1},
        {{5000, 5000}, any, full, 1},        {QSize(), dct, full, 1},
    };
    for (const auto& c : cases) {
        const core::ReducedDecode got = core::ReducedDecodeSize(full, c.target, c.reduction);
        EXPECT_EQ(got.size, c.size) << c.target.width() << "x" << c.target.height();
        EXPECT_EQ(got.denominator, c.denominator) << c.target.width() << "x" << c.target.height();
    }
    // Odd sides round up, so that the reduced decode still covers.
    EXPECT_EQ(core::ReducedDecodeSize({4001, 3001}, {500, 375}, dct).size, QSize(501, 376));
}

}  // namespace
