#include "Sonavex/Core/Audio/Live/WaveformImage.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using sonavex::createWaveformImage;

TEST(WaveformImage, PixelsAreTheRawBytesOfTheFirstWidthTimesHeightSamples) {
    std::vector<float> samples{0.5f, -1.0f, 0.25f, 1e-3f, 7.0f, 8.0f, 9.0f};
    auto image = createWaveformImage(samples, 3.9, 2.0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->bytesPerRow, 12);
    ASSERT_EQ(image->pixels.size(), 24u);
    EXPECT_EQ(std::memcmp(image->pixels.data(), samples.data(), 24), 0);
}

TEST(WaveformImage, NoImageForTooFewSamplesOrASizeBelowOnePixel) {
    std::vector<float> samples(6, 0.5f);
    EXPECT_TRUE(createWaveformImage(samples, 6, 1));
    EXPECT_FALSE(createWaveformImage(samples, 7, 1));
    EXPECT_FALSE(createWaveformImage(samples, 3, 3));
    EXPECT_FALSE(createWaveformImage({}, 1, 1));
    EXPECT_FALSE(createWaveformImage(samples, 0.9, 1));
    EXPECT_FALSE(createWaveformImage(samples, 1, 0));
    EXPECT_FALSE(createWaveformImage(samples, -2, -3));
    EXPECT_FALSE(createWaveformImage(samples, std::nan(""), 1));
    EXPECT_FALSE(createWaveformImage(samples, 1, std::numeric_limits<double>::infinity()));
    // Sizes whose byte count would wrap are refused, not read past the samples.
    EXPECT_FALSE(createWaveformImage(samples, 5e8, 5e8));
}
