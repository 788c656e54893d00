#include "tests/support/CorePictures.h"

#include <gtest/gtest.h>

namespace testcore {

core::Picture Load(const QString& path) {
    core::Result<core::Picture> loaded = core::LoadPicture(path);
    if (!loaded) {
        ADD_FAILURE() << path.toStdString() << ": " << loaded.error().message.toStdString();
        return {};
    }
    return *loaded;
}

QImage Pixels(const core::Picture& picture, QSize atLeast) {
    const core::Result<QImage> pixels = picture.pixels(atLeast);
    return pixels ? *pixels : QImage();
}

int LoadError(const QString& path) {
    const core::Result<core::Picture> loaded = core::LoadPicture(path);
    if (loaded) return 0;
    EXPECT_FALSE(loaded.error().message.isEmpty()) << path.toStdString();
    return loaded.error().number;
}

}  // namespace testcore
