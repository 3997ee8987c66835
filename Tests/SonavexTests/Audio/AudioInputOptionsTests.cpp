#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

#include <gtest/gtest.h>

using namespace sonavex;
using Mode = AudioInputOptions::ChannelMode;

namespace {

Mode read(const std::string& text) {
    return channelModeFromJson(json::parseDocument(text));
}

std::string write(const Mode& mode) {
    return channelModeToJson(mode).dump();
}

} // namespace

TEST(ChannelMode, EncodesAsTheCaseWithItsPayloadUnderUnderscoreZero) {
    EXPECT_EQ(write(AudioInputOptions::SpecificChannel{3}), R"({"specificChannel":{"_0":3}})");
    EXPECT_EQ(write(AudioInputOptions::SumChannels{std::vector<int64_t>{0, 1}}),
              R"({"sumChannels":{"_0":[0,1]}})");
    EXPECT_EQ(write(AudioInputOptions::SumChannels{}), R"({"sumChannels":{}})");
    for (const Mode& mode :
         {Mode(AudioInputOptions::SpecificChannel{0}), Mode(AudioInputOptions::SumChannels{}),
          Mode(AudioInputOptions::SumChannels{std::vector<int64_t>{}}),
          Mode(AudioInputOptions::SumChannels{std::vector<int64_t>{2, 0}})}) {
        EXPECT_EQ(read(write(mode)), mode) << write(mode);
    }
}

TEST(ChannelMode, DecodingAbsentAndEmptyListsAndUnknownMembers) {
    EXPECT_EQ(read(R"({"other": 5, "sumChannels": {}})"), Mode(AudioInputOptions::SumChannels{}));
    EXPECT_EQ(read(R"({"sumChannels": {"_0": null}})"), Mode(AudioInputOptions::SumChannels{}));
    Mode empty = read(R"({"sumChannels": {"_0": []}})");
    EXPECT_EQ(empty, Mode(AudioInputOptions::SumChannels{std::vector<int64_t>{}}));
    EXPECT_NE(empty, Mode(AudioInputOptions::SumChannels{}));
    EXPECT_NE(hashValue(empty), hashValue(AudioInputOptions::SumChannels{}));
    EXPECT_EQ(hashValue(read(R"({"specificChannel": {"_0": 1}})")),
              hashValue(AudioInputOptions::SpecificChannel{1}));
}

TEST(ChannelMode, DecodingFailures) {
    auto failure = [](const std::string& text) {
        try {
            read(text);
        } catch (const orvane::DecodingError& error) {
            return error.debugDescription();
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(failure("{}"), "Invalid number of keys found, expected one.");
    EXPECT_EQ(failure(R"({"specificChannel": {"_0": 0}, "sumChannels": {}})"),
              "Invalid number of keys found, expected one.");
    EXPECT_EQ(failure(R"({"specificChannel": {}})"), R"(No value associated with key "_0".)");
    EXPECT_NE(failure(R"({"specificChannel": {"_0": "2"}})"), "(no error)");
    EXPECT_NE(failure(R"({"sumChannels": 3})"), "(no error)");
    EXPECT_NE(failure("[]"), "(no error)");
}
