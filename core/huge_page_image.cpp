#include "core/huge_page_image.h"

#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace core {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

}  // namespace

QImage HugePageImage(QSize size, QImage::Format format) {
    if (size.isEmpty()) return {};
    const std::int64_t stride =
        (std::int64_t(size.width()) * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    const std::int64_t bytes = stride * size.height();
    // Below two huge pages the rounding up would waste as much as it saves.
    if (bytes < std::int64_t(2 * kHugePage) || stride > INT32_MAX) return QImage(size, format);
    const std::size_t rounded = (std::size_t(bytes) + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    if (!memory) return {};
    ::madvise(memory, rounded, MADV_HUGEPAGE);  // only advice: without it the pages are ordinary ones
    return QImage(static_cast<uchar*>(memory), size.width(), size.height(), qsizetype(stride), format,
                  std::free, memory);
}

HugePageBytes HugePageBuffer(std::size_t bytes) {
    if (bytes < 2 * kHugePage)
        return HugePageBytes(static_cast<std::uint8_t*>(std::malloc(std::max<std::size_t>(bytes, 1))));
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    auto* memory = static_cast<std::uint8_t*>(std::aligned_alloc(kHugePage, rounded));
    if (memory) ::madvise(memory, rounded, MADV_HUGEPAGE);
    return HugePageBytes(memory);
}

const std::uint8_t* ReleasePages(const std::uint8_t* start, const std::uint8_t* end) {
    // Whole huge pages: splitting one costs more than it gives back.
    constexpr auto page = std::uintptr_t(kHugePage);
    const auto from = (std::uintptr_t(start) + page - 1) / page * page;
    const auto to = std::uintptr_t(end) / page * page;
    if (to <= from) return start;
    ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    return start + (to - std::uintptr_t(start));
}

void PopulatePages(std::uint8_t* start, std::uint8_t* end) {
    const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const auto from = std::uintptr_t(start) / page * page;
    const auto to = (std::uintptr_t(end) + page - 1) / page * page;
    // Only advice: an older kernel refuses it, and the pages then fault in one by one.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}  // namespace core
