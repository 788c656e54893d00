#pragma once
// Pictures for the benchmarks that compress like photos: soft colour fields, fine texture and sensor noise
// of up to noise levels either way (3: a smooth picture; 10: a camera's 24 MP at quality 92, about 7 MB),
// different for each seed.

#include <QImage>
#include <cstdint>

QImage CameraLike(int width, int height, std::uint32_t seed = 7, int noise = 3);
