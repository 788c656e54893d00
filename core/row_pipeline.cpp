#include "core/row_pipeline.h"

#include "core/huge_page_image.h"
#include "core/icc_profile.h"
#include "core/lanczos_shrink.h"
#include "core/parallel.h"
#include "core/picture_decoder.h"

#include <QThreadPool>
#include <algorithm>
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace core {

namespace {

constexpr int kRowsAtOnce = 16;
constexpr int kMostRowsRead = 128;
// A chunk on its way to the filter holds as many bytes as sixteen full-width rows of a 24-megapixel
// picture: a reduced decode's narrower rows come more at a time, so the threads hand over less often.
constexpr qsizetype kChunkBytes = 16 * 6000 * 4;
constexpr std::size_t kChunks = 4;
// Result rows go to the sink this many at a time (the last ones fewer): an encoder then runs in long
// stretches rather than between every chunk's filtering, which cost a tenth more CPU.
constexpr int kRowsHandedAtOnce = 64;

QImage::Format FilteredFormat(const RowSource& source) {
    return source.format() == QImage::Format_ARGB32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

// The next rows of source, at most most of them (and kMostRowsRead), into the rows from first on.
Result<int> ReadSome(RowSource& source, std::uint8_t* first, qsizetype stride, int most) {
    std::array<std::uint8_t*, kMostRowsRead> rows{};
    most = std::min(most, kMostRowsRead);
    for (int i = 0; i < most; ++i) rows[std::size_t(i)] = first + stride * i;
    Result<int> read = source.Read(rows.data(), most);
    if (read && (*read < 1 || *read > most))
        return Error{Cause::Internal, QStringLiteral("the decoder gave %1 rows where 1 to %2 were asked").arg(*read).arg(most)};
    return read;
}

// Decoded rows on their way to the filter.
struct Chunk {
    std::unique_ptr<std::uint8_t[]> bytes;  // not cleared first: every row is decoded into
    int count = 0;
};

// Decodes every row of source into filter, brought into sRGB (and premultiplied) on the way. Two parts
// share the work: whichever is free decodes the next chunk of rows while there is room, or filters the
// oldest decoded one, so one part alone does it all (when the pool has no thread to spare) and two overlap
// decoding with filtering. A few chunks at most are held. handOver, when given, is a third part of the
// work: it takes the result's rows finished before the row it is given, a band of kRowsHandedAtOnce at a
// time and one call at a time, ahead of more filtering (so that few wait in memory); its error stops the
// stream. The first failure is the stream's, told once both parts have stopped.
Result<void> Stream(RowSource& source, LanczosRows& filter, QThreadPool* pool,
                    const std::function<Result<void>(int)>& handOver) {
    const int width = source.size().width(), height = source.size().height();
    const QImage::Format format = source.format();
    const QColorSpace space = source.colorSpace();
    const bool pinned = source.readsOnCallingThread();
    const qsizetype stride = qsizetype(width) * 4;
    const int rowsAtOnce = int(std::clamp<qsizetype>(kChunkBytes / stride, kRowsAtOnce, kMostRowsRead));
    std::vector<Chunk> chunks(kChunks);
    std::vector<Chunk*> spare;
    for (Chunk& chunk : chunks) {
        chunk.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(stride) * std::size_t(rowsAtOnce));
        spare.push_back(&chunk);
    }
    std::deque<Chunk*> ready;
    std::mutex mutex;
    std::condition_variable changed;
    bool decoding = false, filtering = false, handing = false, finished = false;
    std::optional<Error> failure;  // the first; under mutex, as are the flags and counts
    int read = 0;                  // rows decoded, by whichever part decodes
    int filtered = 0, handed = 0;  // result rows finished by the filter, and handed over
    const auto fail = [&](const Error& error) {
        if (!failure) failure = error;
    };
    const auto steps = [&](int part) {
        std::unique_lock lock(mutex);
        while (!failure) {
            if (!decoding && !finished && !spare.empty() && (!pinned || part == 0)) {
                Chunk* chunk = spare.back();
                spare.pop_back();
                decoding = true;
                lock.unlock();
                const Result<int> got = ReadSome(source, chunk->bytes.get(), stride, std::min(rowsAtOnce, height - read));
                Result<void> ended;
                if (got) {
                    chunk->count = *got;
                    read += *got;
                    if (read >= height) ended = source.Finish();
                }
                lock.lock();
                decoding = false;
                if (!got) {
                    fail(got.error());
                } else if (!ended) {
                    fail(ended.error());
                } else {
                    ready.push_back(chunk);
                    finished = read >= height;
                }
            } else if (handOver && !handing && handed < filtered &&
                       (filtered - handed >= kRowsHandedAtOnce || (finished && ready.empty() && !filtering))) {
                const int upTo = filtered;
                handing = true;
                lock.unlock();
                const Result<void> taken = handOver(upTo);
                lock.lock();
                handing = false;
                handed = upTo;
                if (!taken) fail(taken.error());
            } else if (!filtering && !ready.empty()) {
                Chunk* chunk = ready.front();
                ready.pop_front();
                filtering = true;
                lock.unlock();
                QImage rows = ToSrgb(QImage(chunk->bytes.get(), width, chunk->count, stride, format), space);
                if (format == QImage::Format_ARGB32) rows = rows.convertToFormat(QImage::Format_ARGB32_Premultiplied);
                const bool converted = !rows.isNull();
                for (int i = 0; converted && i < chunk->count; ++i) filter.Push(rows.constScanLine(i));
                lock.lock();
                filtering = false;
                filtered = filter.finished();
                spare.push_back(chunk);
                if (!converted) fail(NoMemory());
            } else if (finished && ready.empty()) {
                break;
            } else {
                changed.wait(lock);
                continue;
            }
            changed.notify_all();
        }
        changed.notify_all();
    };
    // An exception leaves its step half done: the other part is told at once rather than left waiting.
    const auto work = [&](int part) {
        try {
            steps(part);
        } catch (...) {
            const Error caught = CaughtError();
            {
                const std::lock_guard hold(mutex);
                fail(caught);
            }
            changed.notify_all();
        }
    };
    const bool overlap = (pool ? pool : QThreadPool::globalInstance())->maxThreadCount() > 1;
    const Result<void> ran = ParallelFor(pool, overlap ? 2 : 1, work);
    if (failure) return *failure;
    return ran;
}

}  // namespace

Result<void> ReadAllRows(RowSource& source, QImage& image) {
    try {
        const int height = source.size().height();
        for (int y = 0; y < height;) {
            const Result<int> got = ReadSome(source, image.scanLine(y), image.bytesPerLine(), std::min(kRowsAtOnce, height - y));
            if (!got) return got.error();
            y += *got;
        }
        if (const Result<void> ended = source.Finish(); !ended) return ended;
        image = ToSrgb(std::move(image), source.colorSpace());
        if (image.isNull()) return NoMemory();
        return {};
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

Result<QImage> ShrinkRows(RowSource& source, QSize size, QThreadPool* pool) {
    const QSize from = source.size();
    if (size.isEmpty() || !Covers(from, size)) return Error{Cause::InvalidSize, QStringLiteral("a shrink cannot enlarge")};
    try {
        if (from == size) {
            QImage out = HugePageImage(size, source.format());
            if (out.isNull()) return NoMemory();
            if (const Result<void> done = ReadAllRows(source, out); !done) return done.error();
            if (out.format() != FilteredFormat(source)) out.convertTo(FilteredFormat(source));
            return out;
        }
        QImage out = HugePageImage(size, FilteredFormat(source));
        if (out.isNull()) return NoMemory();
        const LanczosPlan plan(from, size);
        LanczosRows filter(plan, 0, size.height(), out.bits(), out.bytesPerLine(),
                           out.format() == QImage::Format_ARGB32_Premultiplied);
        if (const Result<void> done = Stream(source, filter, pool, {}); !done) return done.error();
        return out;
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

Result<void> ShrinkRowsInto(RowSource& source, QSize size, QThreadPool* pool, const RowSink& sink) {
    const QSize from = source.size();
    if (size.isEmpty() || !Covers(from, size)) return Error{Cause::InvalidSize, QStringLiteral("a shrink cannot enlarge")};
    try {
        // Room for the whole result, of which only the rows not yet handed over are backed by memory: the
        // pages behind them go back to the system.
        QImage out = HugePageImage(size, FilteredFormat(source));
        if (out.isNull()) return NoMemory();
        const LanczosPlan plan(from, size);
        LanczosRows filter(plan, 0, size.height(), out.bits(), out.bytesPerLine(),
                           out.format() == QImage::Format_ARGB32_Premultiplied);
        int handed = 0;
        const std::uint8_t* released = out.constBits();
        const auto handOver = [&](int done) -> Result<void> {
            const Result<void> taken = sink(QImage(out.constScanLine(handed), size.width(), done - handed,
                                                   out.bytesPerLine(), out.format()));
            if (!taken) return taken;
            handed = done;
            released = ReleasePages(released, out.constScanLine(handed - 1) + out.bytesPerLine());
            return {};
        };
        return Stream(source, filter, pool, handOver);
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

}  // namespace core
