// Freed huge-page buffers kept for the next picture, as the windows keep them. One test, since keeping
// is switched on for the whole process: the steps rely on the buffers the steps before them gave back.
#include "core/huge_page_image.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kMB = std::size_t(1) << 20;
constexpr std::uint8_t kMark = 0xA5;  // a new mapping reads as zeros

std::vector<core::HugePageBytes> Buffers(int count, std::size_t bytes) {
    std::vector<core::HugePageBytes> buffers;
    for (int i = 0; i < count; ++i) buffers.push_back(core::HugePageBuffer(bytes));
    return buffers;
}

long Marked(const std::vector<core::HugePageBytes>& buffers) {
    return std::count_if(buffers.begin(), buffers.end(), [](const auto& b) { return b && b[0] == kMark; });
}

TEST(KeptPictureMemory, FreedBuffersServeLaterOnesUpTo64MB) {
    core::KeepFreedPictureMemory();
    {
        const auto first = Buffers(12, 8 * kMB);
        for (const auto& buffer : first) buffer[0] = kMark;
    }
    {
        const auto again = Buffers(12, 8 * kMB);
        EXPECT_EQ(Marked(again), 8) << "64 MB of the 96 freed should have been kept";
        std::vector<std::uint8_t*> starts;
        for (const auto& buffer : again) starts.push_back(buffer.get());
        std::sort(starts.begin(), starts.end());
        EXPECT_EQ(std::adjacent_find(starts.begin(), starts.end()), starts.end())
            << "one buffer handed out twice";
        for (const auto& buffer : again) buffer[0] = kMark;
    }
    const auto smaller = Buffers(1, 6 * kMB);
    EXPECT_EQ(Marked(smaller), 1) << "a kept 8 MB buffer should serve a 6 MB one";
    std::memset(smaller[0].get(), 1, 6 * kMB);

    core::WarmPictureMemory();
}

}  // namespace
