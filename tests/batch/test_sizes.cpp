// Sizes as people type them on the command line and in the batch window.
#include "batch/sizes.h"

#include <gtest/gtest.h>

TEST(Sizes, Boxes) {
    const struct {
        const char* typed;
        std::optional<QSize> box;
    } cases[] = {
        {"400x400", QSize(400, 400)}, {"1920×1920", QSize(1920, 1920)}, {"1920 × 1080", QSize(1920, 1080)},
        {"800X600", QSize(800, 600)}, {"1920x", QSize(1920, 0)},        {"×1080", QSize(0, 1080)},
        {"x", {}},                    {"400", {}},                      {"0x400", {}},
        {"65501x1", {}},              {"4x4x4", {}},                    {"-4x4", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(batch::ParseBox(QString::fromUtf8(c.typed)), c.box) << c.typed;
}

TEST(Sizes, FileSizes) {
    const struct {
        const char* typed;
        std::optional<qint64> bytes;
    } cases[] = {
        {"50000", 50000},      {"200K", 204800},  {"200KB", 204800}, {"200kb", 204800}, {"200 KB", 204800},
        {"1.5MB", 1572864},    {"1,5M", 1572864}, {"1.3K", 1331},    {"50000B", 50000}, {"1.5", {}},
        {"0", {}},             {"2G", {}},        {"K", {}},         {"-5K", {}},       {"2000000M", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(batch::ParseFileSize(QString::fromUtf8(c.typed)), c.bytes) << c.typed;
}
