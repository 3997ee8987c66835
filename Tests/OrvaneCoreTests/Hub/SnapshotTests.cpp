#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Hub/Download/HubFileDownloader.h"
#include "OrvaneCore/Logging/Logging.h"
#include "OrvaneCoreTests/Hub/HubTestSupport.h"
#include "Platform/Net/UrlError.h"

#include <gtest/gtest.h>
#include <thread>

using orvane::HubApi;
using testsupport::FakeHub;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 10'485'760;

std::string patterned(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 31 + i / 977 + seed) % 251);
    }
    return bytes;
}

FakeHub::Fault faultOn(const std::string& path, const std::string& method = "GET") {
    FakeHub::Fault fault;
    fault.pathContains = path;
    fault.method = method;
    return fault;
}

class SnapshotTest : public HubTest {
protected:
    void SetUp() override {
        HubTest::SetUp();
        // model.bin is a "large" file (SHA-256 etag) of more than one write chunk; the others are small.
        files = {{"config.json", "{\"model_type\": \"whisper\"}"},
                 {"tokenizer.json", "{\"model\": {}}"},
                 {"weights/model.bin", patterned(kChunk + 1'500'000, 1)}};
        for (const auto& [path, content] : files) {
            testsupport::writeFile(repository / path, content);
        }
    }

    HubApi client(std::optional<bool> offline = false) const {
        return HubApi(mirror.path(), std::string(), hub.endpoint(), false, offline);
    }

    fs::path folder() const { return mirror / "models" / "owner" / "name"; }
    fs::path record(const std::string& path) const {
        return folder() / ".cache" / "huggingface" / "download" / (path + ".metadata");
    }

    fs::path snapshot(std::optional<bool> offline = false, const std::vector<std::string>& globs = {},
                      const HubApi::ProgressHandler& handler = {}, std::stop_token stop = {}) const {
        return client(offline).snapshot(HubApi::Repo{"owner/name"}, "main", globs, handler, stop);
    }

    void expectMirrorMatchesServer() const {
        for (const auto& [path, content] : files) {
            EXPECT_EQ(testsupport::readFile(folder() / path), content) << path;
            auto metadata = client().readDownloadMetadata(record(path));
            ASSERT_TRUE(metadata) << path;
            EXPECT_EQ(metadata->commitHash, hub.commit()) << path;
            EXPECT_EQ(metadata->etag, hub.etagFor("owner/name", path)) << path;
        }
    }

    void change(const std::string& path, const std::string& content) {
        files[path] = content;
        testsupport::writeFile(repository / path, content);
    }

    std::vector<FakeHub::Request> requestsFor(const std::string& path, const std::string& method) const {
        std::vector<FakeHub::Request> found;
        for (const auto& request : hub.requests()) {
            if (request.method == method && request.target.find(path) != std::string::npos) {
                found.push_back(request);
            }
        }
        return found;
    }

    std::string offlineError(const std::vector<std::string>& globs = {}) const {
        try {
            snapshot(true, globs);
        } catch (const std::exception& error) {
            return error.what();
        }
        return "no error";
    }

    testsupport::TemporaryDirectory mirror;
    std::map<std::string, std::string> files;
};

} // namespace

TEST_F(SnapshotTest, OnlineBringsEveryFileWithItsRecordAndReportsProgress) {
    std::vector<double> fractions;
    std::int64_t total = -1;
    auto result = snapshot(false, {}, [&](const orvane::Progress& progress) {
        fractions.push_back(progress.fractionCompleted());
        total = progress.totalUnitCount();
    });
    EXPECT_EQ(result, folder());
    expectMirrorMatchesServer();
    EXPECT_EQ(total, 3);
    ASSERT_FALSE(fractions.empty());
    EXPECT_DOUBLE_EQ(fractions.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    for (const auto& entry : fs::recursive_directory_iterator(folder())) {
        EXPECT_EQ(entry.path().string().find(".incomplete"), std::string::npos) << entry.path();
    }
}

TEST_F(SnapshotTest, CurrentFilesCostOneHeadEachAndKeepTheirRecords) {
    snapshot();
    const std::string before = testsupport::readFile(record("weights/model.bin"));
    hub.clearRequests();
    snapshot();
    EXPECT_TRUE(requestsFor("/resolve/", "GET").empty());
    EXPECT_EQ(requestsFor("/resolve/", "HEAD").size(), 3u);
    EXPECT_EQ(testsupport::readFile(record("weights/model.bin")), before);
}

TEST_F(SnapshotTest, ChangedFilesOnTheServerAreFetchedAgain) {
    snapshot();
    hub.setCommit(std::string(40, 'c'));
    change("config.json", "{\"model_type\": \"gpt2\"}");
    change("weights/model.bin", patterned(kChunk + 1'500'000, 2));
    snapshot();
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, LostRecordOfAnIntactLargeFileIsRewrittenWithoutTransfer) {
    snapshot();
    fs::remove(record("weights/model.bin"));
    hub.clearRequests();
    snapshot();
    EXPECT_TRUE(requestsFor("model.bin", "GET").empty());
    expectMirrorMatchesServer();

    // Without its record, a damaged large file no longer hashes to the etag and is fetched again.
    fs::remove(record("weights/model.bin"));
    testsupport::writeFile(folder() / "weights/model.bin", "damaged");
    snapshot();
    EXPECT_EQ(requestsFor("model.bin", "GET").size(), 1u);
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, CutConnectionResumesAtTheFirstByteNotWritten) {
    auto cut = faultOn("model.bin");
    cut.cutAfterBytes = kChunk + 1000;
    cut.times = 1;
    hub.addFault(cut);
    snapshot();
    expectMirrorMatchesServer();
    auto gets = requestsFor("model.bin", "GET");
    ASSERT_EQ(gets.size(), 2u);
    EXPECT_FALSE(gets[0].header("Range").has_value());
    EXPECT_EQ(gets[1].header("Range"), "bytes=" + std::to_string(kChunk) + "-");
}

TEST_F(SnapshotTest, ServerThatIgnoresRangeOnTheRetryStillGivesTheRightFile) {
    auto cut = faultOn("model.bin");
    cut.cutAfterBytes = kChunk + 1000;
    cut.times = 1;
    hub.addFault(cut);
    auto wholeFile = faultOn("model.bin");
    wholeFile.ignoreRange = true;
    hub.addFault(wholeFile);
    snapshot();
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, CutsUntilTheRetriesRunOutFailWithoutAFileThatLooksComplete) {
    auto cut = faultOn("model.bin");
    cut.cutAfterBytes = 1000;
    hub.addFault(cut);
    try {
        snapshot();
        FAIL() << "no error";
    } catch (const net::UrlError& error) {
        EXPECT_EQ(error.code(), net::UrlError::Code::networkConnectionLost);
    }
    EXPECT_FALSE(fs::exists(folder() / "weights/model.bin"));
    EXPECT_FALSE(fs::exists(record("weights/model.bin")));

    hub.clearFaults();
    snapshot();
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, BytesThatDoNotHashToTheDigestEtagAreNeverPlaced) {
    // The right size, the wrong bytes: only the digest can tell, and it is checked before the move.
    const std::size_t size = files["weights/model.bin"].size();
    hub.addFault(faultOn("model.bin").withBody(std::string(size, 'x')));
    try {
        snapshot();
        FAIL() << "no error";
    } catch (const HubApi::EnvironmentError& error) {
        EXPECT_EQ(error.kind(), orvane::HubEnvironmentError::Kind::fileIntegrityError);
        EXPECT_STREQ(error.what(), "File integrity check failed: Hash mismatch for weights/model.bin");
    }
    EXPECT_FALSE(fs::exists(folder() / "weights/model.bin"));
    EXPECT_FALSE(fs::exists(record("weights/model.bin")));
    for (const auto& entry : fs::recursive_directory_iterator(folder() / ".cache")) {
        EXPECT_EQ(entry.path().string().find(".incomplete"), std::string::npos) << entry.path();
    }

    hub.clearFaults();
    snapshot();
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, CancelledUpdateThrowsAndNeverStampsTheOldFileCurrent) {
    snapshot();
    const std::string oldContent = files["weights/model.bin"];
    const auto oldRecord = client().readDownloadMetadata(record("weights/model.bin"));
    hub.setCommit(std::string(40, 'd'));
    change("weights/model.bin", patterned(kChunk + 1'500'000, 3));
    auto slow = faultOn("model.bin");
    slow.pauseBetweenPieces = std::chrono::milliseconds(20);
    hub.addFault(slow);

    std::stop_source stop;
    EXPECT_THROW(
        snapshot(
            false, {"weights/*"}, [&](const orvane::Progress&) { stop.request_stop(); }, stop.get_token()),
        orvane::CancellationError);
    EXPECT_EQ(testsupport::readFile(folder() / "weights/model.bin"), oldContent);
    EXPECT_EQ(client().readDownloadMetadata(record("weights/model.bin"))->commitHash, oldRecord->commitHash);

    hub.clearFaults();
    snapshot();
    expectMirrorMatchesServer();
}

TEST_F(SnapshotTest, AnswerWithoutACommitIsRejectedEvenForACurrentFile) {
    snapshot();
    auto noCommit = faultOn("config.json", "HEAD");
    noCommit.omitHeaders = {"X-Repo-Commit"};
    hub.addFault(noCommit);
    try {
        snapshot(false, {"config.json"});
        FAIL() << "no error";
    } catch (const HubApi::EnvironmentError& error) {
        EXPECT_STREQ(error.what(), "Invalid metadata: File metadata must have been retrieved from server");
    }
}

TEST_F(SnapshotTest, ListedPathLeavingTheRepositoryIsRefused) {
    auto listing = faultOn("/api/models/owner/name/revision/main");
    listing.body = R"({"siblings": [{"rfilename": "../../escaped.txt"}]})";
    hub.addFault(listing);
    EXPECT_THROW(snapshot(), orvane::Hub::HubClientError);
    EXPECT_FALSE(fs::exists(mirror / "models" / "escaped.txt"));
}

TEST_F(SnapshotTest, OnlineListingWithNothingToFetchReportsOnceAndFetchesNothing) {
    int reports = 0;
    auto result = snapshot(false, {"*.safetensors"}, [&](const orvane::Progress& progress) {
        ++reports;
        EXPECT_EQ(progress.totalUnitCount(), 0);
    });
    EXPECT_EQ(result, folder());
    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(fs::exists(folder()));
}

TEST_F(SnapshotTest, OfflineRerunSucceedsWithoutTheNetworkForAnyRevision) {
    snapshot();
    hub.clearRequests();
    EXPECT_EQ(client(true).snapshot(HubApi::Repo{"owner/name"}, "no-such-revision", {"*.json"}), folder());
    EXPECT_EQ(snapshot(true), folder());
    EXPECT_TRUE(hub.requests().empty());
}

TEST_F(SnapshotTest, OfflineNamesEachMissingPiece) {
    EXPECT_EQ(offlineError(), "Offline mode error: Repository not available locally");
    fs::create_directories(folder() / ".cache" / "huggingface" / "download");
    EXPECT_EQ(offlineError(), "Offline mode error: No files available locally for this repository");

    snapshot();
    EXPECT_EQ(offlineError({"*.safetensors"}),
              "Offline mode error: No files matching the requested patterns are available locally");
    testsupport::writeFile(folder() / "notes.txt", "copied by hand");
    EXPECT_EQ(offlineError(), "Offline mode error: Metadata not available for notes.txt");
    EXPECT_EQ(offlineError({"*.json"}), "no error");
    fs::remove(folder() / "notes.txt");

    // A damaged record is removed and counts as missing.
    testsupport::writeFile(record("tokenizer.json"), "only one line");
    EXPECT_EQ(offlineError({"tokenizer.json"}), "Offline mode error: Metadata not available for tokenizer.json");
    EXPECT_FALSE(fs::exists(record("tokenizer.json")));
}

TEST_F(SnapshotTest, OfflineHashesLargeFilesButTrustsCommitStyleEtags) {
    snapshot();
    // A 40-digit etag is accepted unhashed.
    testsupport::writeFile(folder() / "config.json", "edited");
    EXPECT_EQ(offlineError(), "no error");
    std::string edited = files["weights/model.bin"];
    edited[12345] ^= 1;
    testsupport::writeFile(folder() / "weights/model.bin", edited);
    EXPECT_EQ(offlineError(), "File integrity check failed: Hash mismatch for model.bin");
}

TEST_F(SnapshotTest, WrapperLeavesTheOfflineDecisionToTheNetworkState) {
    snapshot();
    hub.clearRequests();
    orvane::HubApiWrapper wrapper(mirror.path(), std::string(), hub.endpoint());
    const orvane::HubApiWrapper::Repo repo("owner/name");
    EXPECT_EQ(wrapper.localRepoLocation(repo), folder());
    auto& monitor = HubApi::NetworkMonitor::shared();
    net::NetworkPath path;
    path.satisfied = false;
    monitor.injectPathForTesting(path);
    EXPECT_EQ(wrapper.snapshot(repo, "main", {}), folder());
    EXPECT_TRUE(hub.requests().empty());
    path.satisfied = true;
    monitor.injectPathForTesting(path);
    EXPECT_EQ(wrapper.snapshot(repo, "main", {"config.json"}), folder());
    EXPECT_FALSE(hub.requests().empty());
}

// With the network state deciding, a hub that cannot be reached (stopped, or a host that never resolves)
// leaves a complete local copy in use, said once at info level; a client that asked for the network gets
// the network's error, an incomplete copy a network error that also says what the copy lacks.
TEST_F(SnapshotTest, UnreachableHubLeavesACompleteLocalCopyInUse) {
    snapshot();
    std::string stopped;
    {
        FakeHub gone;
        stopped = gone.endpoint();
    }
    std::vector<std::string> lines;
    orvane::Logging::updateLogLevel(orvane::Logging::LogLevel::info);
    orvane::Logging::updateCallback([&](const std::string& line) { lines.push_back(line); });
    const HubApi::Repo repo{"owner/name"};
    for (const std::string& endpoint : {stopped, std::string("http://hub.invalid/")}) {
        lines.clear();
        const HubApi automatic(mirror.path(), std::string(), endpoint);
        EXPECT_EQ(automatic.snapshot(repo, "main", {"*.json"}), folder()) << endpoint;
        ASSERT_EQ(lines.size(), 1u) << endpoint;
        EXPECT_TRUE(lines[0].starts_with("The hub cannot be reached (")) << lines[0];
        EXPECT_NE(lines[0].find("owner/name"), std::string::npos) << lines[0];

        HubApi online = automatic;
        online.useOfflineMode = false;
        expectError<orvane::Hub::HubClientError>(
            [&] { online.snapshot(repo, "main", {"*.json"}); },
            [](const auto& error) { EXPECT_TRUE(error.urlErrorCode()); });
    }
    fs::remove(record("config.json"));
    const HubApi automatic(mirror.path(), std::string(), stopped);
    expectError<orvane::Hub::HubClientError>(
        [&] { automatic.snapshot(repo, "main", {"*.json"}); },
        [](const auto& error) {
            EXPECT_EQ(error.urlErrorCode(), net::UrlError::Code::cannotConnectToHost);
            EXPECT_TRUE(std::string(error.what()).ends_with("Metadata not available for config.json"))
                << error.what();
        });
    orvane::Logging::updateCallback(nullptr);
    orvane::Logging::updateLogLevel(orvane::Logging::LogLevel::none);
}

// A first download cut short keeps the listing it received, so with the hub out of reach the copy that
// lacks a listed file, with or without that file's record, does not stand in; the error names the file
// and the hub's reason. What other globs select from the copy is complete and still stands in.
TEST_F(SnapshotTest, CopyLackingAListedFileDoesNotStandInForAnUnreachableHub) {
    auto cut = faultOn("model.bin");
    cut.cutAfterBytes = 1000;
    hub.addFault(cut);
    EXPECT_THROW(snapshot(), net::UrlError);
    ASSERT_TRUE(fs::exists(record("config.json")));
    std::string stopped;
    {
        FakeHub gone;
        stopped = gone.endpoint();
    }
    const HubApi automatic(mirror.path(), std::string(), stopped);
    const HubApi::Repo repo{"owner/name"};
    const auto expectMissingModel = [&] {
        expectError<orvane::Hub::HubClientError>(
            [&] {
                automatic.snapshot(repo, "main", {"weights/*", "config.json"});
            },
            [](const auto& error) {
                EXPECT_EQ(error.urlErrorCode(), net::UrlError::Code::cannotConnectToHost);
                EXPECT_STREQ(error.what(),
                             "Network error: The hub cannot be reached (Could not connect to the "
                             "server.), and the local copy of owner/name cannot stand in: "
                             "Incomplete local copy: weights/model.bin is missing");
            });
    };
    expectMissingModel();
    EXPECT_EQ(automatic.snapshot(repo, "main", {"*.json"}), folder());

    hub.clearFaults();
    snapshot();
    fs::remove(folder() / "weights/model.bin");
    ASSERT_TRUE(fs::exists(record("weights/model.bin")));
    expectMissingModel();
}

TEST(HubFileDownloader, IncompleteFileIsNamedAfterTheBareEtag) {
    HubApi hub(std::filesystem::path("/tmp"), std::string(), "http://127.0.0.1:1");
    orvane::HubFileDownloader downloader(hub, HubApi::Repo{"owner/name", orvane::HubRepoType::datasets},
                                         "refs/pr/1", "/m/r", "/m/r/.cache/huggingface/download",
                                         "sub/model.bin", std::nullopt, hub.endpoint, false);
    EXPECT_EQ(downloader.source().absoluteString(),
              "http://127.0.0.1:1/datasets/owner/name/resolve/refs%2Fpr%2F1/sub/model.bin");
    EXPECT_EQ(downloader.incompletePath(*HubApi::normalizeEtag("W/\"abc\"")),
              "/m/r/.cache/huggingface/download/sub/model.bin.abc.incomplete");
    EXPECT_EQ(downloader.metadataPath(), "/m/r/.cache/huggingface/download/sub/model.bin.metadata");
}

TEST(Progress, ParentFractionIsTheMeanOfItsFiles) {
    auto parent = orvane::Progress::create(3);
    std::vector<std::shared_ptr<orvane::Progress>> children;
    for (int i = 0; i < 3; ++i) {
        children.push_back(orvane::Progress::create(100));
        parent->addChild(children.back(), 1);
    }
    children[0]->setCompletedUnitCount(100);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.0 / 3.0);
    EXPECT_EQ(parent->completedUnitCount(), 1);
    children[1]->setCompletedUnitCount(50);
    EXPECT_DOUBLE_EQ(parent->fractionCompleted(), 1.5 / 3.0);
    EXPECT_EQ(orvane::Progress::create(0)->fractionCompleted(), 0.0);
}

namespace {

/// A snapshot on a thread of its own; finish() gives "" for success, "cancelled", or the error's text.
struct BackgroundSnapshot {
    std::stop_source stop;
    std::string outcome = "running";
    std::thread thread;

    explicit BackgroundSnapshot(std::function<fs::path(std::stop_token)> run) {
        thread = std::thread([this, run = std::move(run)] {
            try {
                run(stop.get_token());
                outcome = "";
            } catch (const orvane::CancellationError&) {
                outcome = "cancelled";
            } catch (const std::exception& error) {
                outcome = error.what();
            }
        });
    }
    ~BackgroundSnapshot() {
        if (thread.joinable()) {
            thread.join();
        }
    }
    std::string finish() {
        thread.join();
        return outcome;
    }
};

} // namespace

class ConcurrentSnapshotTest : public SnapshotTest {
protected:
    void SetUp() override {
        SnapshotTest::SetUp();
        auto slow = faultOn("model.bin");
        slow.paced(256 * 1024, std::chrono::milliseconds(10));
        hub.addFault(slow);
    }

    std::function<fs::path(std::stop_token)> run() const {
        return [this](std::stop_token stop) { return snapshot(false, {}, {}, stop); };
    }

    /// Waits until the hub has received `count` requests of `method` for the large file.
    void waitForRequests(const std::string& method, std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (requestsFor("model.bin", method).size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_GE(requestsFor("model.bin", method).size(), count);
    }
};

TEST_F(ConcurrentSnapshotTest, TwoSnapshotsOfOneRepositoryTakeTurnsAndTransferTheLargeFileOnce) {
    BackgroundSnapshot first(run());
    waitForRequests("GET", 1);
    BackgroundSnapshot second(run());

    EXPECT_EQ(first.finish(), "");
    EXPECT_EQ(second.finish(), "");
    expectMirrorMatchesServer();
    // The second found the file the first brought in current instead of fetching it again.
    EXPECT_EQ(requestsFor("model.bin", "GET").size(), 1u);
    EXPECT_EQ(requestsFor("model.bin", "HEAD").size(), 2u);
}

TEST_F(ConcurrentSnapshotTest, ASnapshotWaitingForAnotherDownloadOfTheFileStopsWhenAsked) {
    BackgroundSnapshot first(run());
    waitForRequests("GET", 1);
    BackgroundSnapshot second(run());
    waitForRequests("HEAD", 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the second is now waiting for its turn
    ASSERT_EQ(requestsFor("model.bin", "GET").size(), 1u);

    const auto asked = std::chrono::steady_clock::now();
    second.stop.request_stop();
    EXPECT_EQ(second.finish(), "cancelled");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(1));
    EXPECT_EQ(first.finish(), "");
    expectMirrorMatchesServer();
}
