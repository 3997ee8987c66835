#include "Sonavex/Core/Audio/Live/WaveformImage.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace sonavex {

namespace {

// A size as a whole pixel count; nothing for one below 1, not finite, or beyond what a row can address.
std::optional<std::int64_t> pixelCount(double size) {
    if (!std::isfinite(size) || size < 1 || size >= double(std::numeric_limits<int>::max() / 4)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(size);
}

} // namespace

std::optional<WaveformImage> createWaveformImage(std::span<const float> fromAudio, double width,
                                                 double height) {
    auto columns = pixelCount(width);
    auto rows = pixelCount(height);
    if (!columns || !rows) {
        return std::nullopt;
    }
    // Compared in samples, never multiplied out in bytes, so a huge size cannot wrap past the check.
    if (*rows > std::int64_t(fromAudio.size()) / *columns) {
        return std::nullopt;
    }
    const auto pixels = static_cast<std::size_t>(*columns * *rows);
    WaveformImage image;
    image.width = static_cast<int>(*columns);
    image.height = static_cast<int>(*rows);
    image.bytesPerRow = 4 * image.width;
    image.pixels.resize(pixels * sizeof(float));
    std::memcpy(image.pixels.data(), fromAudio.data(), image.pixels.size());
    return image;
}

} // namespace sonavex
