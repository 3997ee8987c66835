#include <gtest/gtest.h>

#include "Sonavex/Core/Options/SonavexConfig.h"

using sonavex::AudioInputOptions;

TEST(SonavexConfigTest, InputOptionsAreOneValueUnderTwoNames) {
    sonavex::SonavexConfig config;
    AudioInputOptions options;
    options.channelMode = AudioInputOptions::SpecificChannel{1};
    config.audioInputConfig = options;
    ASSERT_TRUE(config.audioInputConfigStorage);
    EXPECT_EQ(config.audioInputConfigStorage->channelMode, options.channelMode);
    config.audioInputConfigStorage->audioLoadingMode = AudioInputOptions::incremental();
    EXPECT_EQ(config.audioInputConfig->audioLoadingMode, AudioInputOptions::AudioLoadingMode(AudioInputOptions::incremental()));
    config.audioInputConfig.reset();
    EXPECT_FALSE(config.audioInputConfigStorage);
}
