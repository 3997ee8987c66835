#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "SonavexTests/LogCapture.h"

#include <gtest/gtest.h>

using sonavex::WhisperError;

TEST(WhisperError, DescriptionIsTheMessageAndLogsOnEveryRead) {
    LogCapture log(orvane::Logging::LogLevel::error);
    WhisperError error = WhisperError::loadAudioFailed("Failed to process audio buffer");
    EXPECT_EQ(error.errorDescription(), "Failed to process audio buffer");
    EXPECT_EQ(error.description(), "Failed to process audio buffer");
    EXPECT_EQ(log.lines(),
              (std::vector<std::string>{"Failed to process audio buffer", "Failed to process audio buffer"}));
    // what() is for handlers that only show the text: it must not add log lines.
    EXPECT_STREQ(error.what(), "Failed to process audio buffer");
    EXPECT_EQ(log.lines().size(), 2u);
}

TEST(WhisperError, DescriptionWithLoggingOffStillReturnsTheMessage) {
    LogCapture log(orvane::Logging::LogLevel::none);
    EXPECT_EQ(WhisperError::modelsUnavailable().errorDescription(), "Models are unavailable");
    EXPECT_TRUE(log.lines().empty());
}

TEST(WhisperError, EqualityNeedsTheSameCaseAndMessage) {
    EXPECT_NE(WhisperError::modelsUnavailable("Models are unavailable"),
              WhisperError::tokenizerUnavailable("Models are unavailable"));
    EXPECT_EQ(WhisperError::modelsUnavailable("Models are unavailable"), WhisperError::modelsUnavailable());
    EXPECT_NE(WhisperError::decodingFailed("a"), WhisperError::decodingFailed("b"));
}
