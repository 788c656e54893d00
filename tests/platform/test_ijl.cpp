// The JPEG library layer: its defaults, what it refuses, and how it hands a record's rows and choices to
// the engine's encoder (which has tests of its own).
#include "platform/ijl.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

using namespace platform;

namespace {

// A packed BGR buffer with the given pad bytes, rows in the order asked for.
struct Dib {
    std::vector<std::uint8_t> bytes;
    int width, height, pad;
    Dib(const QImage& picture, int padBytes, bool bottomUp)
        : width(picture.width()), height(picture.height()), pad(padBytes) {
        const int stride = width * 3 + pad;
        bytes.assign(std::size_t(stride) * height, 0xAB);  // pad bytes hold junk
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = bytes.data() + std::size_t(bottomUp ? height - 1 - y : y) * stride;
            for (int x = 0; x < width; ++x) {
                const QRgb c = picture.pixel(x, y);
                row[3 * x] = qBlue(c), row[3 * x + 1] = qGreen(c), row[3 * x + 2] = qRed(c);
            }
        }
    }
};

class IjlTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    JPEG_CORE_PROPERTIES props_{};

    void SetUp() override { ASSERT_EQ(ijlInit(&props_), IJL_OK); }
    void TearDown() override { ijlFree(&props_); }

    void Describe(Dib& dib, bool bottomUp, int quality) {
        props_.DIBBytes = dib.bytes.data();
        props_.DIBWidth = props_.JPGWidth = dib.width;
        props_.DIBHeight = bottomUp ? -dib.height : dib.height;
        props_.JPGHeight = dib.height;
        props_.DIBPadBytes = dib.pad;
        props_.DIBChannels = 3;
        props_.jquality = quality;
    }
    // The library's output as a file, for the decoder's eyes.
    QString Output() {
        const QString path = dir_.filePath("out.jpg");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(reinterpret_cast<const char*>(props_.JPGBytes), props_.JPGSizeBytes);
        return path;
    }
};

TEST_F(IjlTest, InitFillsDefaultsForBgrPixels) {
    EXPECT_EQ(props_.DIBChannels, 3);
    EXPECT_EQ(props_.DIBColor, IJL_BGR);
    EXPECT_EQ(props_.JPGChannels, 3);
    EXPECT_EQ(props_.JPGColor, IJL_YCBCR);
    EXPECT_EQ(props_.JPGSubsampling, IJL_BY_QUALITY);
    EXPECT_NE(props_.jprops, nullptr);
    EXPECT_EQ(ijlInit(&props_), IJL_ALREADY_INITIALISED);
}

TEST_F(IjlTest, BothRowOrdersAndPadBytesComeBackUpright) {
    const QImage picture = testpics::Gradient(37, 23);
    for (bool bottomUp : {true, false}) {
        for (int pad = 0; pad <= 3; ++pad) {
            Dib dib(picture, pad, bottomUp);
            Describe(dib, bottomUp, 95);
            ASSERT_EQ(ijlWrite(&props_, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK);
            const QImage back = testpics::DecodeJpeg(Output());
            EXPECT_GT(testpics::Psnr(picture, back), 40.0) << "bottomUp " << bottomUp << " pad " << pad;
        }
    }
}

TEST_F(IjlTest, SubsamplingIsTheRecordsChoice) {
    Dib dib(testpics::Gradient(32, 32), 0, true);
    const std::pair<IJL_JPGSUBSAMPLING, int> cases[] = {
        {IJL_BY_QUALITY, TJSAMP_420}, {IJL_NONE, TJSAMP_444}, {IJL_422, TJSAMP_422}, {IJL_411, TJSAMP_420}};
    for (auto [choice, sampling] : cases) {
        Describe(dib, true, 80);
        props_.JPGSubsampling = choice;
        ASSERT_EQ(ijlWrite(&props_, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK);
        EXPECT_EQ(testpics::JpegSubsampling(Output()), sampling) << "choice " << choice;
    }
}

TEST_F(IjlTest, BadRecordsAreRefusedWithTheirCodes) {
    Dib dib(testpics::Gradient(4, 4), 0, true);
    auto codeWith = [&](auto change) {
        Describe(dib, true, 90);
        change(props_);
        return ijlWrite(&props_, IJL_JBUFF_WRITEWHOLEIMAGE);
    };
    EXPECT_EQ(codeWith([](auto& p) { p.DIBWidth = p.DIBHeight = p.JPGWidth = p.JPGHeight = 0; }),
              IJL_INVALID_DIB_SIZE);
    EXPECT_EQ(codeWith([](auto& p) { p.JPGWidth = 5; }), IJL_INVALID_DIB_SIZE);
    EXPECT_EQ(codeWith([](auto& p) { p.DIBHeight = INT32_MIN; }), IJL_INVALID_DIB_SIZE);
    EXPECT_EQ(codeWith([](auto& p) { p.DIBBytes = nullptr; }), IJL_NULL_DIB_POINTER);
    EXPECT_EQ(codeWith([](auto& p) { p.DIBPadBytes = 4; }), IJL_INVALID_PAD_BYTES);
    EXPECT_EQ(codeWith([](auto& p) { p.DIBChannels = 4; }), IJL_UNSUPPORTED_COLOR);
    Describe(dib, true, 90);
    EXPECT_EQ(ijlWrite(&props_, 8), IJL_UNSUPPORTED_IOTYPE);  // writing a file by name is not offered
    // The record stays usable after a refusal.
    EXPECT_EQ(ijlWrite(&props_, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_OK);
    EXPECT_GT(props_.JPGSizeBytes, 0);
}

TEST(Ijl, CallsOutOfOrderAreRefused) {
    JPEG_CORE_PROPERTIES props{};
    EXPECT_EQ(ijlWrite(&props, IJL_JBUFF_WRITEWHOLEIMAGE), IJL_NOT_INITIALISED);
    EXPECT_EQ(ijlFree(&props), IJL_NOT_INITIALISED);
    EXPECT_EQ(ijlInit(nullptr), IJL_INVALID_POINTER);
    EXPECT_EQ(ijlInit(&props), IJL_OK);
    EXPECT_EQ(ijlFree(&props), IJL_OK);
    EXPECT_EQ(props.jprops, nullptr);
}

}  // namespace
