#include "fuzz/Harness.h"

#include "core/picture.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace fuzz {

void StartQt(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(*argc, *argv);
    core::AllowLargeImageReads();
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

bool WithinDecodeBudget(QSize size) {
    constexpr std::int64_t kMostPixels = std::int64_t(1) << 24;
    return std::int64_t(size.width()) * size.height() <= kMostPixels;
}

}  // namespace fuzz
