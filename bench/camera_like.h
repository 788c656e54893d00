#pragma once
// Pictures for the benchmarks that compress like photos: soft colour fields, fine texture and a little
// sensor noise, different for each seed.

#include <QImage>
#include <cstdint>

QImage CameraLike(int width, int height, std::uint32_t seed = 7);
