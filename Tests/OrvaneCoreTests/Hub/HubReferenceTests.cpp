#include "OrvaneCore/Errors/DecodingError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Hub/Files/FileReadError.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>
#include <unordered_set>

using orvane::HubApi;
using orvane::HubApiWrapper;

TEST(HubRepoReferences, KindsHaveExactlyTheirThreeRawValues) {
    EXPECT_EQ(HubApiWrapper::rawValue(HubApiWrapper::RepoType::datasets), "datasets");
    EXPECT_EQ(HubApiWrapper::repoTypeFromRawValue("spaces"), HubApiWrapper::RepoType::spaces);
    for (const char* other : {"Models", "model", "dataset", ""}) {
        EXPECT_FALSE(HubApiWrapper::repoTypeFromRawValue(other)) << other;
    }
    HubApiWrapper::Repo repo("owner/name", HubApiWrapper::RepoType::spaces);
    EXPECT_EQ(repo.hubRepo(), (HubApi::Repo{"owner/name", HubApi::RepoType::spaces}));
}

TEST(HubRepoReferences, EqualityAndHashingUseIdentifierAndKind) {
    HubApiWrapper::Repo model("owner/name");
    HubApiWrapper::Repo dataset("owner/name", HubApiWrapper::RepoType::datasets);
    HubApiWrapper::Repo otherCase("Owner/Name");
    EXPECT_NE(model, dataset);
    EXPECT_NE(model, otherCase);
    EXPECT_EQ(model, HubApiWrapper::Repo("owner/name", HubApiWrapper::RepoType::models));
    std::unordered_set<HubApiWrapper::Repo> set{model, dataset, otherCase, model};
    EXPECT_EQ(set.size(), 3u);
}

TEST(HubRepoReferences, JsonFormHasExactlyIdAndType) {
    HubApiWrapper::Repo repo("owner/name", HubApiWrapper::RepoType::datasets);
    EXPECT_EQ(repo.toJson(), R"({"id":"owner/name","type":"datasets"})");
    EXPECT_EQ(HubApiWrapper::Repo::fromJson(repo.toJson()), repo);
    EXPECT_EQ(HubApi::Repo::fromJson(R"({"type":"spaces","id":"a/b","extra":1})"),
              (HubApi::Repo{"a/b", HubApi::RepoType::spaces}));
    // The kind alone is its raw value as a JSON string.
    EXPECT_EQ(HubApiWrapper::toJson(HubApiWrapper::RepoType::spaces), R"("spaces")");
    EXPECT_EQ(HubApiWrapper::repoTypeFromJson(R"("datasets")"), HubApiWrapper::RepoType::datasets);
    EXPECT_EQ(orvane::hubRepoTypeFromJson(orvane::toJson(HubApi::RepoType::models)),
              HubApi::RepoType::models);
    for (const char* bad : {R"("Models")", R"("model")", "1", R"({"type":"models"})", "models"}) {
        EXPECT_THROW(HubApiWrapper::repoTypeFromJson(bad), orvane::DecodingError) << bad;
        EXPECT_THROW(orvane::hubRepoTypeFromJson(bad), orvane::DecodingError) << bad;
    }
    for (const char* bad : {R"({"id":"a/b","type":"Model"})", R"({"id":"a/b"})", R"({"type":"models"})",
                            R"({"id":1,"type":"models"})", "[]", "not json"}) {
        EXPECT_THROW(HubApiWrapper::Repo::fromJson(bad), orvane::DecodingError) << bad;
        EXPECT_THROW(HubApi::Repo::fromJson(bad), orvane::DecodingError) << bad;
    }
}

TEST(HubConfigurationFiles, ObjectsBecomeConfigsAndEverythingElseIsAnError) {
    testsupport::TemporaryDirectory folder;
    HubApi api(folder.path(), std::string(""));
    testsupport::writeFile(folder / "config.json",
                           "{\"model_type\":\"whisper\",\"token\":\"\xEF\xBB\xBFx\"}");
    orvane::Config config = api.configuration(folder / "config.json");
    EXPECT_EQ(config["modelType"].string(), "whisper");
    EXPECT_EQ(config["token"].string(), "\xEF\xBB\xBFx"); // the mark inside a value stays

    testsupport::writeFile(folder / "array.json", "[1,2]");
    try {
        api.configuration(folder / "array.json");
        FAIL() << "no error";
    } catch (const orvane::Hub::HubClientError& error) {
        EXPECT_EQ(error.kind(), orvane::Hub::HubClientError::Kind::parse);
    }
    testsupport::writeFile(folder / "broken.json", "{\"a\":");
    try {
        api.configuration(folder / "broken.json");
        FAIL() << "no error";
    } catch (const orvane::Hub::HubClientError& error) {
        EXPECT_EQ(error.kind(), orvane::Hub::HubClientError::Kind::jsonSerialization);
        EXPECT_EQ(error.fileURL(), folder / "broken.json");
        EXPECT_EQ(std::string(error.what()),
                  "JSON Serialization failed for file://" + (folder / "broken.json").string() +
                      ". Please verify that you have set the HF_TOKEN environment variable.");
    }
    // The address is written out in full, so a space in the path is escaped.
    testsupport::writeFile(folder / "my config.json", "not json");
    try {
        api.configuration(folder / "my config.json");
        FAIL() << "no error";
    } catch (const orvane::Hub::HubClientError& error) {
        EXPECT_EQ(
            std::string(error.what()),
            "JSON Serialization failed for file://" + folder.path().string() +
                "/my%20config.json. Please verify that you have set the HF_TOKEN environment variable.");
    }
    try {
        api.configuration(folder / "missing.json");
        FAIL() << "no error";
    } catch (const orvane::FileReadError& error) {
        EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
}

TEST(HubErrors, ANetworkErrorKeepsTheTransportsCode) {
    using orvane::Hub::HubClientError;
    auto network = HubClientError::networkError(net::UrlError(net::UrlError::Code::networkConnectionLost));
    EXPECT_STREQ(network.what(), "Network error: The network connection was lost.");
    EXPECT_EQ(network.urlErrorCode(), net::UrlError::Code::networkConnectionLost);
    EXPECT_FALSE(HubClientError::networkError("described only").urlErrorCode());
}
