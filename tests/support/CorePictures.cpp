#include "tests/support/CorePictures.h"

#include <gtest/gtest.h>

namespace testcore {

core::Picture Load(const QString& path) {
    core::Result<core::Picture> loaded = core::LoadPicture(path);
    if (!loaded) {
        ADD_FAILURE() << path.toStdString() << ": " << loaded.error().detail.toStdString();
        return {};
    }
    return *loaded;
}

QImage Pixels(const core::Picture& picture, QSize atLeast) {
    const core::Result<QImage> pixels = picture.pixels(atLeast);
    return pixels ? *pixels : QImage();
}

std::optional<core::Cause> LoadError(const QString& path) {
    const core::Result<core::Picture> loaded = core::LoadPicture(path);
    if (loaded) return std::nullopt;
    EXPECT_FALSE(loaded.error().detail.isEmpty()) << path.toStdString();
    return loaded.error().cause;
}

}  // namespace testcore

void core::PrintTo(Cause cause, std::ostream* out) { *out << CauseName(cause); }
