#pragma once
// A picture made straight from the bytes of a sample array: 8-bit components, 32 bits per pixel, rows of
// 4 × width bytes, RGB with premultiplied alpha first in a 32-bit little-endian word (in memory: blue,
// green, red, alpha). Each sample's four bytes become one pixel.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sonavex {

struct WaveformImage {
    static constexpr int bitsPerComponent = 8;
    static constexpr int bitsPerPixel = 32;

    int width = 0;
    int height = 0;
    int bytesPerRow = 0;
    /// height × bytesPerRow bytes, top row first.
    std::vector<std::uint8_t> pixels;
};

/// The image of width × height pixels (each size cut to a whole number) from the first width × height
/// samples. Nothing when a size is not at least 1, too large to address, or when the samples hold fewer
/// bytes than the image needs.
std::optional<WaveformImage> createWaveformImage(std::span<const float> fromAudio, double width,
                                                 double height);

} // namespace sonavex
