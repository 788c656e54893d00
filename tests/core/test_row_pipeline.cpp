// The row pipeline on its own, fed by a made-up decoder: whatever the decoder's bands, threads and
// pixel format, the shrink is the whole picture's; a failure or an exception in any part of the work, on
// any thread, ends it with that part's error once every part has stopped.
#include "core/lanczos_shrink.h"
#include "core/row_pipeline.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

using namespace core;

namespace {

enum class Fault { None, ReadFails, FinishFails, ReadThrowsBadAlloc, ReadThrowsOther, ReadsNothing, SinkFails, SinkThrows };

// Rows of a picture in memory, given a band at a time as a decoder would, faulting where asked.
class MadeUpRows final : public RowSource {
public:
    MadeUpRows(QImage picture, int band, bool pinned, Fault fault, int faultRow)
        : picture_(std::move(picture)), band_(band), pinned_(pinned), fault_(fault), faultRow_(faultRow) {}

    QSize size() const override { return picture_.size(); }
    QImage::Format format() const override { return picture_.format(); }
    bool readsOnCallingThread() const override { return pinned_; }

    Result<int> Read(std::uint8_t* const* rows, int most) override {
        readers_.push_back(QThread::currentThread());
        if (next_ >= faultRow_) {
            switch (fault_) {
                case Fault::ReadFails: return Error{Cause::Damaged, QStringLiteral("damaged at row %1").arg(next_)};
                case Fault::ReadThrowsBadAlloc: throw std::bad_alloc();
                case Fault::ReadThrowsOther: throw std::runtime_error("a decoder's own fault");
                case Fault::ReadsNothing: return 0;
                default: break;
            }
        }
        const int count = std::min({most, band_, picture_.height() - next_});
        for (int i = 0; i < count; ++i)
            std::memcpy(rows[i], picture_.constScanLine(next_ + i), std::size_t(picture_.width()) * 4);
        next_ += count;
        return count;
    }
    Result<void> Finish() override {
        ++finishes_;
        if (fault_ == Fault::FinishFails) return Error{Cause::Damaged, QStringLiteral("no end")};
        return {};
    }

    const std::vector<QThread*>& readers() const { return readers_; }
    int finishes() const { return finishes_; }

private:
    QImage picture_;
    int band_;
    bool pinned_;
    Fault fault_;
    int faultRow_;
    int next_ = 0;
    int finishes_ = 0;
    std::vector<QThread*> readers_;
};

struct PipelineCase {
    const char* name;
    int band;      // rows the decoder gives at most at a time
    int threads;   // the pool's
    bool pinned;   // reads on the calling thread only
    bool alpha;    // Format_ARGB32 rows
    Fault fault;
    int faultAt;   // the source row, or the sink's band, from which on it faults
    std::optional<Cause> error;  // the cause the shrink ends with; none for none
    const char* words = "";  // what its message holds
};

class RowPipeline : public ::testing::TestWithParam<PipelineCase> {};

QImage Picture(bool alpha) {
    QImage noise = testpics::Noise(900, 700);
    if (!alpha) return noise;
    QImage faded = noise.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < faded.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(faded.scanLine(y));
        for (int x = 0; x < faded.width(); ++x) line[x] = (line[x] & 0xFFFFFF) | (std::uint32_t((x + y) % 256) << 24);
    }
    return faded;
}

}  // namespace

TEST_P(RowPipeline, ShrinksTheWholePictureOrEndsWithThePartsError) {
    const PipelineCase& c = GetParam();
    const QImage picture = Picture(c.alpha);
    const QSize into(300, 233);
    const QImage premultiplied =
        c.alpha ? picture.convertToFormat(QImage::Format_ARGB32_Premultiplied) : picture;
    const QImage reference = *LanczosShrink(premultiplied, into);
    QThreadPool pool;
    pool.setMaxThreadCount(c.threads);

    // Handed to a sink band by band.
    MadeUpRows rows(picture, c.band, c.pinned, c.fault, c.faultAt);
    QImage handed(into, reference.format());
    int filled = 0, bands = 0;
    const Result<void> streamed = ShrinkRowsInto(rows, into, &pool, [&](const QImage& band) -> Result<void> {
        if (bands++ >= c.faultAt && c.fault == Fault::SinkFails) return Error{Cause::DiskFull, QStringLiteral("disk full")};
        if (bands > c.faultAt && c.fault == Fault::SinkThrows) throw std::bad_alloc();
        EXPECT_EQ(band.format(), reference.format());
        for (int y = 0; y < band.height(); ++y, ++filled)
            std::memcpy(handed.scanLine(filled), band.constScanLine(y), std::size_t(band.width()) * 4);
        return {};
    });
    if (c.pinned) {
        for (QThread* reader : rows.readers()) EXPECT_EQ(reader, QThread::currentThread());
    }
    if (!c.error) {
        ASSERT_TRUE(streamed.ok()) << streamed.error().detail.toStdString();
        EXPECT_EQ(filled, into.height());
        EXPECT_EQ(handed, reference);
        EXPECT_EQ(rows.finishes(), 1);
    } else {
        ASSERT_FALSE(streamed.ok());
        EXPECT_EQ(streamed.error().cause, c.error);
        EXPECT_TRUE(streamed.error().detail.contains(QLatin1String(c.words))) << streamed.error().detail.toStdString();
        EXPECT_LT(filled, into.height());
    }

    // Kept whole: the same pixels, or the same error where the source is at fault.
    if (c.fault == Fault::SinkFails || c.fault == Fault::SinkThrows) return;
    MadeUpRows again(picture, c.band, c.pinned, c.fault, c.faultAt);
    const Result<QImage> whole = ShrinkRows(again, into, &pool);
    if (!c.error) {
        ASSERT_TRUE(whole.ok());
        EXPECT_EQ(*whole, reference);
    } else {
        ASSERT_FALSE(whole.ok());
        EXPECT_EQ(whole.error().cause, c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    BandsThreadsAndFaults, RowPipeline,
    ::testing::Values(
        PipelineCase{"bands", 16, 2, false, false, Fault::None, 0, std::nullopt},
        PipelineCase{"rowByRowOnOneThread", 1, 1, false, false, Fault::None, 0, std::nullopt},
        PipelineCase{"pinnedToTheCaller", 7, 2, true, false, Fault::None, 0, std::nullopt},
        PipelineCase{"pinnedOnManyThreads", 128, 4, true, false, Fault::None, 0, std::nullopt},
        PipelineCase{"transparency", 5, 2, false, true, Fault::None, 0, std::nullopt},
        PipelineCase{"failsMidStep", 16, 2, false, false, Fault::ReadFails, 300, Cause::Damaged, "row 3"},
        PipelineCase{"failsMidStepOnOneThread", 1, 1, false, false, Fault::ReadFails, 5, Cause::Damaged, "row 5"},
        PipelineCase{"failsAtTheEnd", 16, 2, false, false, Fault::FinishFails, 0, Cause::Damaged, "no end"},
        PipelineCase{"runsOutOfMemory", 16, 2, false, false, Fault::ReadThrowsBadAlloc, 200, Cause::OutOfMemory,
                     "out of memory"},
        PipelineCase{"throwsOnTheCaller", 3, 2, true, false, Fault::ReadThrowsOther, 400, Cause::Internal,
                     "a decoder's own fault"},
        PipelineCase{"throwsOnOneThread", 16, 1, false, false, Fault::ReadThrowsOther, 0, Cause::Internal, "own fault"},
        PipelineCase{"givesNoRows", 16, 2, false, false, Fault::ReadsNothing, 100, Cause::Internal, "0 rows"},
        PipelineCase{"sinkFails", 16, 2, false, false, Fault::SinkFails, 1, Cause::DiskFull, "disk full"},
        PipelineCase{"sinkFailsOnOneThread", 1, 1, false, false, Fault::SinkFails, 0, Cause::DiskFull, "disk full"},
        PipelineCase{"sinkThrows", 16, 2, false, false, Fault::SinkThrows, 1, Cause::OutOfMemory, "out of memory"}),
    [](const ::testing::TestParamInfo<PipelineCase>& info) { return std::string(info.param.name); });

TEST(RowPipelineSizes, AShrinkNeverEnlargesAndTheSizeItselfIsReadStraight) {
    const QImage picture = testpics::Noise(120, 90);
    MadeUpRows larger(picture, 16, false, Fault::None, 0);
    EXPECT_EQ(ShrinkRows(larger, QSize(121, 90), nullptr).error().cause, Cause::InvalidSize);
    MadeUpRows same(picture, 16, false, Fault::None, 0);
    const Result<QImage> read = ShrinkRows(same, picture.size(), nullptr);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(*read, picture);
}
