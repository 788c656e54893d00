#include "core/huge_page_image.h"

#include <sys/mman.h>
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

}  // namespace core
