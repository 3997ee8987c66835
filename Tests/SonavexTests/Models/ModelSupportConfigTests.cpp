#include <gtest/gtest.h>

#include "OrvaneCore/Errors/DecodingError.h"
#include "SonavexTests/LogCapture.h"

#include "OrvaneCore/System/ProcessInfo.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Models/ModelSupportConfig.h"

#include <algorithm>
#include <set>

using sonavex::Constants;
using sonavex::DeviceSupport;
using sonavex::ModelSupport;
using sonavex::ModelSupportConfig;

namespace {

const ModelSupportConfig& builtIn() {
    return Constants::fallbackModelSupportConfig();
}

} // namespace

TEST(ModelSupportConfigTest, TheLongestMatchingIdentifierPicksTheRow) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"iPad13,16", "openai_whisper-large-v3-v20240930_626MB"}, // "iPad13,16" (row 3) beats "iPad13,1" (row 5)
        {"iPad13,1", "openai_whisper-base"},
        {"iPad14,10", "openai_whisper-large-v3-v20240930"},
        {"iPad14,1", "openai_whisper-base"},
        {"Mac16,10", "openai_whisper-large-v3-v20240930"},
        {"MacBookPro18,3", "openai_whisper-large-v3-v20240930_626MB"},
        {"iPhone12,8", "openai_whisper-tiny"},
    };
    for (const auto& [device, expected] : cases) {
        EXPECT_EQ(builtIn().modelSupport(device).defaultModel, expected) << device;
    }
    EXPECT_EQ(builtIn().modelSupport("iPad14,1").supported, builtIn().deviceSupports[5].models.supported);
    EXPECT_EQ(builtIn().modelSupport("iPad13,16"), builtIn().deviceSupports[2].models);

    LogCapture log;
    builtIn().modelSupport("iPhone11,2");
    EXPECT_EQ(log.lines(), std::vector<std::string>{
                             R"(Matched iPhone11,2 to devices: ["iPhone11", "iPhone12", "iPad12,1", "iPad12,2", "Watch7", "Watch8"])"});
}

// Linux machines name themselves after their board or virtual machine: no row covers them, and the
// default row recommends the base model with every known model allowed.
TEST(ModelSupportConfigTest, ALinuxHardwareIdentifierGetsTheFallbackRow) {
    const ModelSupport fallback{"openai_whisper-base", Constants::knownModels(), {}};
    for (const std::string& device : {orvane::ProcessInfo::hwModel(), std::string("Standard PC (Q35 + ICH9, 2009)"),
                                      std::string("KVM"), std::string("ThinkPad X1 Carbon Gen 9"), std::string()}) {
        LogCapture log;
        EXPECT_EQ(builtIn().modelSupport(device), fallback) << device;
        EXPECT_EQ(log.lines(), std::vector<std::string>{"No device support found for " + device + ", using default"});
    }
    const ModelSupportConfig empty("empty", "1", {}, false);
    EXPECT_EQ(empty.modelSupport("Mac14,2"), (ModelSupport{"openai_whisper-base", {}, {}}));
}

TEST(ModelSupportConfigTest, TheBuiltInTableDerivesKnownAndDisabledModels) {
    // Known models are the rows' first occurrences, each once, in row order.
    const auto& known = builtIn().knownModels;
    ASSERT_EQ(known.size(), 22u);
    EXPECT_EQ(Constants::knownModels(), known);
    EXPECT_EQ(std::set<std::string>(known.begin(), known.end()).size(), known.size());
    EXPECT_EQ(known.front(), builtIn().deviceSupports[0].models.supported.front());

    const ModelSupport& first = builtIn().deviceSupports[0].models;
    EXPECT_EQ(first.disabled.size(), 18u);
    for (const std::string& model : first.disabled) {
        EXPECT_EQ(std::count(first.supported.begin(), first.supported.end(), model), 0) << model;
    }
    std::set<std::string> all(first.disabled.begin(), first.disabled.end());
    all.insert(first.supported.begin(), first.supported.end());
    EXPECT_EQ(all.size(), 22u);
    EXPECT_TRUE(builtIn().deviceSupports[3].models.disabled.empty());
    EXPECT_EQ(builtIn().deviceSupports[3].chips, "M2, M3, M4");
}

TEST(ModelSupportConfigTest, ARemoteTableOfTheSameRepositoryIsMergedWithTheBuiltInOne) {
    const DeviceSupport remote{"M2+", {"Mac14", "MacNew1"}, {"custom-large", {"custom-large", "openai_whisper-tiny"}, {}}};
    const ModelSupportConfig merged("sonavex-coreml", "1.0", {remote}, true);
    const auto& rows = merged.deviceSupports;
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].chips, "M2+");
    EXPECT_EQ(rows[0].identifiers, remote.identifiers);
    EXPECT_EQ(rows[0].models.defaultModel, "custom-large");
    ASSERT_EQ(rows[0].models.supported.size(), 23u); // its own two, then row 4's other 21
    EXPECT_EQ(rows[0].models.supported[0], "custom-large");
    EXPECT_EQ(rows[0].models.supported[1], "openai_whisper-tiny");
    EXPECT_EQ(rows[0].models.supported[2], "openai_whisper-tiny.en");
    for (size_t i : {0u, 1u, 2u, 4u, 5u}) {
        const size_t at = i < 3 ? i + 1 : i;
        EXPECT_EQ(rows[at].identifiers, builtIn().deviceSupports[i].identifiers);
        EXPECT_EQ(rows[at].models.supported, builtIn().deviceSupports[i].models.supported);
    }
    EXPECT_EQ(merged.knownModels.front(), "custom-large");
    EXPECT_EQ(merged.modelSupport("MacNew1,1").defaultModel, "custom-large");
    EXPECT_EQ(merged.modelSupport("iPhone11,1").disabled.size(), 19u); // custom-large is known now

    // Another repository's table stands alone.
    const ModelSupportConfig alone("someone-else", "1.0", {remote}, true);
    EXPECT_EQ(alone.deviceSupports.size(), 1u);
    EXPECT_EQ(alone.knownModels, (std::vector<std::string>{"custom-large", "openai_whisper-tiny"}));
    EXPECT_EQ(alone.defaultSupport.models.supported, alone.knownModels);
    EXPECT_EQ(alone.modelSupport("iPhone11,1").defaultModel, "openai_whisper-base");
}

TEST(ModelSupportConfigTest, TheFileFormatReadsMergesAndWritesOnlyItsThreeKeys) {
    const std::string remote = R"({"name": "sonavex-coreml", "version": "0.3", "extra": true, "device_support": [
        {"identifiers": ["Mac14"], "models": {"default": "big", "supported": ["big"], "disabled": ["x"]}},
        {"chips": "Z1", "identifiers": ["Zed1"], "models": {"default": "tiny", "supported": ["tiny"]}}]})";
    const ModelSupportConfig config = ModelSupportConfig::fromJson(remote);
    EXPECT_EQ(config.repoName, "sonavex-coreml");
    ASSERT_EQ(config.deviceSupports.size(), 7u); // two remote rows, then the five built-in rows not covered
    EXPECT_FALSE(config.deviceSupports[0].chips);
    EXPECT_EQ(config.deviceSupports[0].models.supported.size(), 23u);
    EXPECT_EQ(config.deviceSupports[1].chips, "Z1");
    EXPECT_EQ(config.modelSupport("Zed1,1").defaultModel, "tiny");

    const std::string written = config.toJson();
    EXPECT_EQ(written.rfind(R"({"name":"sonavex-coreml","version":"0.3","device_support":[{"identifiers":["Mac14"],)"
                            R"("models":{"default":"big","supported":["big","openai_whisper-tiny",)",
                            0),
              0u)
        << written;
    EXPECT_EQ(written.find("disabled"), std::string::npos);
    EXPECT_EQ(written.find("extra"), std::string::npos);
    // Read back, the merged rows stay as they are (the built-in rows are already there).
    EXPECT_EQ(ModelSupportConfig::fromJson(written).toJson(), written);
}

TEST(ModelSupportConfigTest, AMalformedFileIsTheDecodersError) {
    const std::vector<std::pair<std::string, orvane::DecodingError::Kind>> cases{
        {"not json", orvane::DecodingError::Kind::dataCorrupted},
        {R"({"version": "1", "device_support": []})", orvane::DecodingError::Kind::keyNotFound},
        {R"({"name": 1, "version": "1", "device_support": []})", orvane::DecodingError::Kind::typeMismatch},
        {R"({"name": "n", "version": "1", "device_support": {}})", orvane::DecodingError::Kind::typeMismatch},
        {R"({"name": "n", "version": "1", "device_support": [{"identifiers": ["a"]}]})",
         orvane::DecodingError::Kind::keyNotFound},
        {R"({"name": "n", "version": "1", "device_support": [{"identifiers": "a", "models": {}}]})",
         orvane::DecodingError::Kind::typeMismatch},
        {R"({"name": "n", "version": "1", "device_support": [{"identifiers": [], "models": {"default": "a",
            "supported": [1]}}]})",
         orvane::DecodingError::Kind::typeMismatch},
        {R"({"name": "n", "version": null, "device_support": []})", orvane::DecodingError::Kind::valueNotFound},
    };
    for (const auto& [text, kind] : cases) {
        try {
            ModelSupportConfig::fromJson(text);
            ADD_FAILURE() << "decoded " << text;
        } catch (const orvane::DecodingError& error) {
            EXPECT_EQ(error.kind(), kind) << text << ": " << error.debugDescription();
        }
    }
}
