#include "OrvaneCore/Errors/DecodingError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCoreTests/Hub/HubTestSupport.h"
#include "Platform/Net/UrlError.h"

using orvane::HubApi;
using orvane::Hub::HubClientError;
using testsupport::FakeHub;

namespace {

class HubRequests : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        testsupport::writeFile(repository / "config.json", "{}");
        testsupport::writeFile(repository / "tokenizer.json", "{\"model\":{}}");
        testsupport::writeFile(repository / "weights/model.bin", std::string(100, 'x'));
        testsupport::writeFile(repository / "weights/deeper/extra.bin", "y");
    }

    HubApi client(std::optional<std::string> token = std::nullopt) const {
        return HubApi(home.path() / "mirror", token, hub.endpoint());
    }
    const HubApi::Repo repo{"owner/name"};
};

} // namespace

TEST_F(HubRequests, ListsEveryFileOrEachMatchingFileOnce) {
    HubApi api = client();
    EXPECT_EQ(api.getFilenames(repo),
              (std::vector<std::string>{"config.json", "tokenizer.json", "weights/deeper/extra.bin",
                                        "weights/model.bin"}));
    // "*" crosses "/"; two patterns matching the same file give it once.
    EXPECT_EQ(api.getFilenames(repo, "main", {"*.json", "config.*", "weights/*"}),
              (std::vector<std::string>{"config.json", "tokenizer.json", "weights/deeper/extra.bin",
                                        "weights/model.bin"}));
    EXPECT_TRUE(api.getFilenames(repo, "main", {"*.gguf"}).empty());

    hub.addFault(FakeHub::Fault::on("/api/").withBody(
        R"({"siblings":[{"rfilename":"a"},{"rfilename":"a","size":3}],"extra":1})"));
    EXPECT_EQ(api.getFilenames(repo), (std::vector<std::string>{"a", "a"}));
    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("/api/").withBody(R"({"siblings":[]})"));
    EXPECT_TRUE(api.getFilenames(repo).empty());
    EXPECT_TRUE(api.getFilenames(repo, "main", {"*"}).empty());
}

TEST_F(HubRequests, ARevisionIsOneEscapedPathSegment) {
    HubApi api = client();
    api.getFilenames(repo, "refs/pr/1");
    EXPECT_EQ(hub.requests().back().target, "/api/models/owner/name/revision/refs%2Fpr%2F1");
    EXPECT_EQ(api.listingUrl(HubApi::Repo{"owner/name", HubApi::RepoType::datasets}, "v1.0").absoluteString(),
              hub.endpoint() + "/api/datasets/owner/name/revision/v1.0");
}

TEST_F(HubRequests, StatusesBecomeTheirErrors) {
    HubApi api = client();
    for (int status : {401, 403}) {
        hub.clearFaults();
        hub.addFault(FakeHub::Fault::on("/").answer(status));
        expectError<HubClientError>(
            [&] { api.getFilenames(repo); },
            [](const HubClientError& error) {
                EXPECT_EQ(error.kind(), HubClientError::Kind::authorizationRequired);
                EXPECT_STREQ(error.what(),
                             "Authentication required. Please provide a valid Hugging Face token.");
            });
        expectError<HubClientError>([&] { api.httpHead(*net::Url::parse(resolveUrl("config.json") + "?x")); },
                                    [](const HubClientError& error) {
                                        EXPECT_EQ(error.kind(), HubClientError::Kind::authorizationRequired);
                                    });
    }
    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("/api/").answer(404));
    expectError<HubClientError>([&] { api.getFilenames(repo, "main"); },
                                [](const HubClientError& error) {
                                    EXPECT_EQ(error.kind(), HubClientError::Kind::fileNotFound);
                                    EXPECT_STREQ(error.what(), "File not found: main");
                                });
    expectError<HubClientError>(
        [&] { api.httpHead(*net::Url::parse(resolveUrl("weights/missing.bin"))); },
        [](const HubClientError& error) { EXPECT_STREQ(error.what(), "File not found: missing.bin"); });
    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("/api/").answer(500));
    expectError<HubClientError>([&] { api.getFilenames(repo); },
                                [](const HubClientError& error) {
                                    EXPECT_EQ(error.statusCode(), 500);
                                    EXPECT_STREQ(error.what(), "HTTP error with status code: 500");
                                });
}

TEST_F(HubRequests, GetFollowsRedirectsButAFinalRedirectAnswerIsAnError) {
    HubApi api = client();
    hub.addFault(FakeHub::Fault::on("/moved").redirect("/api/models/owner/name/revision/main", 301));
    EXPECT_NO_THROW(api.httpGet(*net::Url::parse(hub.endpoint() + "/moved")));

    hub.addFault(FakeHub::Fault::on("/nowhere").answer(307)); // a redirect without "Location"
    expectError<HubClientError>([&] { api.httpGet(*net::Url::parse(hub.endpoint() + "/nowhere")); },
                                [](const HubClientError& error) { EXPECT_EQ(error.statusCode(), 307); });

    hub.addFault(FakeHub::Fault::on("/loop").redirect("/loop"));
    expectError<HubClientError>([&] { api.httpGet(*net::Url::parse(hub.endpoint() + "/loop")); },
                                [](const HubClientError& error) {
                                    EXPECT_EQ(error.kind(), HubClientError::Kind::downloadError);
                                    EXPECT_STREQ(error.what(), "Download failed: too many HTTP redirects");
                                });
}

TEST_F(HubRequests, TransportFailuresAreDownloadErrorsForGetButPassUnwrappedForHead) {
    int closedPort = 0;
    {
        FakeHub gone;
        closedPort = gone.port();
    }
    HubApi api(home.path(), std::nullopt, "http://127.0.0.1:" + std::to_string(closedPort));
    expectError<HubClientError>([&] { api.getFilenames(repo); },
                                [](const HubClientError& error) {
                                    EXPECT_STREQ(error.what(),
                                                 "Download failed: Could not connect to the server.");
                                });
    EXPECT_THROW(api.httpHead(api.endpointUrl().appendingPath("x")), net::UrlError);
}

TEST_F(HubRequests, MalformedListingsGiveDecodingErrors) {
    HubApi api = client();
    for (const char* body : {"{\"siblings\":[", "[]", "{\"files\":[]}", "{\"siblings\":{}}",
                             "{\"siblings\":[{\"name\":\"a\"}]}", "{\"siblings\":[{\"rfilename\":3}]}"}) {
        hub.clearFaults();
        hub.addFault(FakeHub::Fault::on("/api/").withBody(body));
        EXPECT_THROW(api.getFilenames(repo), orvane::DecodingError) << body;
    }
}

TEST_F(HubRequests, AnEndpointThatIsNoAddressIsAnError) {
    for (const char* endpoint : {"", "not a url", "ftp://host", "/relative"}) {
        HubApi api(home.path(), std::nullopt, std::string(endpoint));
        EXPECT_THROW(api.getFilenames(repo), HubClientError) << endpoint;
    }
}

TEST_F(HubRequests, HeadStopsAtARedirectToAnotherHost) {
    hub.addFault(FakeHub::Fault::on("model.bin").only("HEAD").redirect("https://cdn.example/blob/abc?sig=1"));
    HubApi api = client();
    auto url = *net::Url::parse(resolveUrl("weights/model.bin"));
    net::HttpResponse response = api.httpHead(url);
    EXPECT_EQ(response.statusCode, 302);
    EXPECT_EQ(hub.requests().size(), 1u);
    EXPECT_EQ(hub.requests().back().header("Accept-Encoding"), "identity");
    EXPECT_EQ(HubApi::fileMetadata(response, url).location, "https://cdn.example/blob/abc?sig=1");
    // "//host" names a host too.
    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("model.bin").only("HEAD").redirect("//cdn.example/blob"));
    EXPECT_EQ(api.httpHead(url).statusCode, 302);
}

TEST_F(HubRequests, HeadFollowsARelativeRedirectAsAHeadWithTheSameHeadersAndLocation) {
    hub.addFault(
        FakeHub::Fault::on("/old/").only("HEAD").redirect("/owner/name/resolve/main/weights/model.bin", 307));
    HubApi api = client(std::string("secret"));
    auto url = *net::Url::parse(hub.endpoint() + "/old/model.bin?dropped=1");
    net::HttpResponse response = api.httpHead(url);
    EXPECT_EQ(response.statusCode, 200);
    auto requests = hub.requests();
    ASSERT_EQ(requests.size(), 2u);
    const auto& followed = requests[1];
    EXPECT_EQ(followed.method, "HEAD"); // never a GET of the whole file
    EXPECT_EQ(followed.target, "/owner/name/resolve/main/weights/model.bin");
    EXPECT_EQ(followed.header("Authorization"), "Bearer secret");
    EXPECT_EQ(followed.header("Accept-Encoding"), "identity");
    EXPECT_EQ(followed.header("Location"), resolveUrl("weights/model.bin"));
    EXPECT_EQ(HubApi::fileMetadata(response, url).location, resolveUrl("weights/model.bin"));

    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("/spin").only("HEAD").redirect("/spin"));
    EXPECT_THROW(api.httpHead(*net::Url::parse(hub.endpoint() + "/spin")), net::UrlError);
}

TEST_F(HubRequests, FileMetadataReadsTheProbeHeaders) {
    HubApi api = client();
    hub.setLargeFileThreshold(50);
    auto url = *net::Url::parse(resolveUrl("weights/model.bin"));
    HubApi::FileMetadata metadata = api.getFileMetadata(url);
    EXPECT_EQ(metadata.commitHash, hub.commit());
    EXPECT_EQ(metadata.etag, hub.etagFor("owner/name", "weights/model.bin")); // X-Linked-Etag, unquoted
    EXPECT_EQ(metadata.size, 100);
    EXPECT_EQ(metadata.location, url.absoluteString());

    hub.addFault(
        FakeHub::Fault::on("model.bin").header("X-Linked-Etag", "W/\"abc\"").header("X-Linked-Size", "7"));
    metadata = api.getFileMetadata(url);
    EXPECT_EQ(metadata.etag, "abc");
    EXPECT_EQ(metadata.size, 7);

    // (white space around a value never survives HTTP, so the space goes inside)
    for (const char* size : {"1 2", "1.5", "99999999999999999999", "", "0x10", "+"}) {
        hub.clearFaults();
        hub.addFault(FakeHub::Fault::on("model.bin").header("X-Linked-Size", size));
        EXPECT_FALSE(api.getFileMetadata(url).size) << '"' << size << '"';
    }

    hub.clearFaults();
    hub.addFault(FakeHub::Fault::on("model.bin").answer(302).omit("X-Repo-Commit"));
    metadata = api.getFileMetadata(url);
    EXPECT_FALSE(metadata.commitHash);
    EXPECT_EQ(metadata.location, url.absoluteString()); // a 302 without "Location" falls back to the request
}

TEST(HubSizes, AcceptOnlyASignAndDigitsWithinSixtyFourBits) {
    EXPECT_EQ(HubApi::parseSize("+12"), 12);
    EXPECT_EQ(HubApi::parseSize("-3"), -3);
    EXPECT_EQ(HubApi::parseSize("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(HubApi::parseSize("-9223372036854775808"), INT64_MIN);
    EXPECT_FALSE(HubApi::parseSize("9223372036854775808"));
    EXPECT_FALSE(HubApi::parseSize("-"));
    EXPECT_FALSE(HubApi::parseSize(" 1"));
    EXPECT_FALSE(HubApi::parseSize(std::nullopt));
}

TEST(HubEtags, LoseOneWeakPrefixAndTheirQuotes) {
    EXPECT_EQ(HubApi::normalizeEtag("W/\"abc\""), "abc");
    EXPECT_EQ(HubApi::normalizeEtag("\"\"abc\"def\""), "abc\"def");
    EXPECT_EQ(HubApi::normalizeEtag("W/W/x"), "W/x");
    EXPECT_FALSE(HubApi::normalizeEtag(std::nullopt));
}
