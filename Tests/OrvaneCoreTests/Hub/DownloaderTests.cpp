#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/External/Hub/Download/Downloader.h"
#include "OrvaneCore/External/Hub/Files/MoveDownloadedFile.h"
#include "Platform/Net/UrlError.h"
#include "Support/Network/FakeHub.h"
#include "Support/TestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using orvane::Downloader;
using testsupport::FakeHub;
using State = Downloader::DownloadState;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 4096;

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    }
    return bytes;
}

/// The states of one stream up to and including the first Completed or Failed.
std::vector<State> statesUntilEnd(const orvane::Broadcaster<State>::Stream& stream) {
    std::vector<State> states;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        auto state = stream->tryPop();
        if (!state) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        states.push_back(*state);
        if (std::holds_alternative<Downloader::Completed>(*state) ||
            std::holds_alternative<Downloader::Failed>(*state)) {
            return states;
        }
    }
    ADD_FAILURE() << "the download never ended";
    return states;
}

std::vector<double> fractions(const std::vector<State>& states) {
    std::vector<double> values;
    for (const auto& state : states) {
        if (auto* downloading = std::get_if<Downloader::Downloading>(&state)) {
            values.push_back(downloading->fraction);
        }
    }
    return values;
}

std::exception_ptr failure(const std::vector<State>& states) {
    if (states.empty()) {
        return nullptr;
    }
    auto* failed = std::get_if<Downloader::Failed>(&states.back());
    return failed ? failed->error : nullptr;
}

FakeHub::Fault fault(const std::string& path) {
    FakeHub::Fault fault;
    fault.pathContains = path;
    return fault;
}

template <class E> E errorOf(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const E& expected) {
        return expected;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "another error: " << other.what();
    }
    throw std::runtime_error("unexpected error type");
}

class DownloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        content = patterned(30'000);
        testsupport::writeFile(served / "model.bin", content);
        hub.addRepository("owner/name", served.path());
        destination = local / "repo" / "model.bin";
        incomplete = local / "cache" / "model.bin.etag.incomplete";
        testsupport::writeFile(incomplete, "");
    }

    net::Url source() const {
        return *net::Url::parse(hub.endpoint() + "/owner/name/resolve/main/model.bin");
    }

    std::vector<State> run(std::optional<std::int64_t> expected,
                           std::optional<std::string> token = std::nullopt) {
        Downloader downloader(destination, incomplete, false, kChunk);
        downloader.setRetryDelay(std::chrono::milliseconds(5));
        auto states = statesUntilEnd(downloader.download(source(), token, expected));
        return states;
    }

    std::vector<FakeHub::Request> gets() const {
        std::vector<FakeHub::Request> found;
        for (const auto& request : hub.requests()) {
            if (request.method == "GET") {
                found.push_back(request);
            }
        }
        return found;
    }

    testsupport::TemporaryDirectory served;
    testsupport::TemporaryDirectory local;
    FakeHub hub;
    std::string content;
    fs::path destination;
    fs::path incomplete;
};

} // namespace

TEST_F(DownloaderTest, FreshTransferReportsOnePerChunkThenMovesTheFileIntoPlace) {
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(std::get<Downloader::Completed>(states.back()).url, destination);
    EXPECT_EQ(testsupport::readFile(destination), content);
    EXPECT_FALSE(fs::exists(incomplete));
    // 30,000 bytes in 4,096-byte writes: seven full chunks report; the short rest does not.
    auto values = fractions(states);
    ASSERT_EQ(values.size(), 1u + 7u);
    EXPECT_EQ(values.front(), 0.0);
    EXPECT_DOUBLE_EQ(values[1], 4096.0 / 30000.0);
    EXPECT_DOUBLE_EQ(values.back(), 7 * 4096.0 / 30000.0);
    // The subscription starts before the transfer, so it sees the whole sequence.
    ASSERT_TRUE(std::holds_alternative<Downloader::NotStarted>(states[0]));
    EXPECT_FALSE(std::get<Downloader::Downloading>(states[1]).speed.has_value());
    EXPECT_TRUE(std::get<Downloader::Downloading>(states[2]).speed.has_value());
    ASSERT_EQ(gets().size(), 1u);
    EXPECT_FALSE(gets()[0].header("Range").has_value());
}

TEST_F(DownloaderTest, ResumesFromThePartialFile) {
    testsupport::writeFile(incomplete, content.substr(0, 10'000));
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_DOUBLE_EQ(fractions(states).front(), 10'000.0 / 30'000.0);
    EXPECT_EQ(testsupport::readFile(destination), content);
    ASSERT_EQ(gets().size(), 1u);
    EXPECT_EQ(gets()[0].header("Range"), "bytes=10000-");
}

TEST_F(DownloaderTest, CutConnectionResumesAfterTheLastWholeChunk) {
    // 5,000 bytes arrive, one chunk of 4,096 is written, the rest is asked for again.
    auto cut = fault("model.bin");
    cut.cutAfterBytes = 5000;
    cut.times = 1;
    hub.addFault(cut);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
    auto requests = gets();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].header("Range"), "bytes=4096-");
}

TEST_F(DownloaderTest, EveryWrittenChunkRestoresTheRetryBudget) {
    // Each answer breaks off after 5,000 bytes but leaves one more chunk behind, so the transfer needs
    // more attempts than the five retries and still completes.
    auto cut = fault("model.bin");
    cut.cutAfterBytes = 5000;
    hub.addFault(cut);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
    EXPECT_GT(gets().size(), 6u);
}

TEST_F(DownloaderTest, RepeatedCutsEndInTheTransportErrorWithAUsablePartialFile) {
    auto cut = fault("model.bin");
    cut.cutAfterBytes = 1000;
    hub.addFault(cut);
    auto states = run(std::int64_t(content.size()));
    auto error = errorOf<net::UrlError>(failure(states));
    EXPECT_EQ(error.code(), net::UrlError::Code::networkConnectionLost);
    EXPECT_EQ(gets().size(), 1u + Downloader::retryCount);
    EXPECT_FALSE(fs::exists(destination));
    // Nothing half-received was kept: the partial file is still a correct (here empty) prefix.
    EXPECT_EQ(fs::file_size(incomplete), 0u);
}

TEST_F(DownloaderTest, AConnectionLostRightAfterTheHeadIsRetriedLikeAnyBrokenBody) {
    auto cut = fault("model.bin");
    cut.cutAfterBytes = 0;
    cut.times = 2;
    hub.addFault(cut);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
    EXPECT_EQ(gets().size(), 3u);

    // Without a byte ever arriving, the retries run out like those of any other broken transfer.
    hub.clearFaults();
    hub.clearRequests();
    fs::remove(destination);
    testsupport::writeFile(incomplete, "");
    cut.times = -1;
    hub.addFault(cut);
    states = run(std::int64_t(content.size()));
    EXPECT_EQ(errorOf<net::UrlError>(failure(states)).code(), net::UrlError::Code::networkConnectionLost);
    EXPECT_EQ(gets().size(), 1u + Downloader::retryCount);
}

TEST_F(DownloaderTest, ServerIgnoringRangeRestartsThePartialFileInsteadOfAppending) {
    testsupport::writeFile(incomplete, content.substr(0, 10'000));
    auto wholeFile = fault("model.bin");
    wholeFile.ignoreRange = true;
    hub.addFault(wholeFile);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back())) << fractions(states).size();
    EXPECT_EQ(testsupport::readFile(destination), content);
}

TEST_F(DownloaderTest, PartialFileLongerThanTheRemoteFileIsDroppedSoTheNextRunStartsAfresh) {
    testsupport::writeFile(incomplete, content + "stale tail");
    auto states = run(std::int64_t(content.size()));
    auto error = errorOf<Downloader::DownloadError>(failure(states));
    EXPECT_EQ(error.kind(), Downloader::DownloadError::Kind::unexpectedError);
    EXPECT_FALSE(fs::exists(incomplete));
    EXPECT_FALSE(fs::exists(destination));

    testsupport::writeFile(incomplete, "");
    states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
}

TEST_F(DownloaderTest, WrongFinalSizeFailsWithoutPlacingOrKeepingTheFile) {
    testsupport::writeFile(destination, "old content");
    auto states = run(std::int64_t(content.size() + 1));
    auto error = errorOf<Downloader::DownloadError>(failure(states));
    EXPECT_EQ(error.kind(), Downloader::DownloadError::Kind::unexpectedError);
    EXPECT_EQ(std::string(error.what()),
              "The download of " + destination.string() + " received 30000 bytes, not the expected 30001");
    EXPECT_EQ(testsupport::readFile(destination), "old content");
    EXPECT_FALSE(fs::exists(incomplete));
}

TEST_F(DownloaderTest, ErrorStatusFailsAtOnceWithoutRetry) {
    auto missing = fault("model.bin");
    missing.status = 404;
    hub.addFault(missing);
    auto states = run(std::int64_t(content.size()));
    const auto error = errorOf<Downloader::DownloadError>(failure(states));
    EXPECT_EQ(error.kind(), Downloader::DownloadError::Kind::unexpectedError);
    EXPECT_NE(std::string(error.what()).find("with status 404"), std::string::npos) << error.what();
    EXPECT_EQ(gets().size(), 1u);
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(DownloaderTest, WithoutAnExpectedSizeOnlyTheFirstStateAndTheEndArrive) {
    auto states = run(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(fractions(states), std::vector<double>{0.0});
    EXPECT_EQ(testsupport::readFile(destination), content);
}

TEST_F(DownloaderTest, TokenGoesIntoTheAuthorizationHeaderUnlessItCouldSplitTheRequest) {
    run(std::int64_t(content.size()), std::string("secret\n"));
    EXPECT_EQ(gets().back().header("Authorization"), "Bearer secret");

    fs::remove(destination);
    testsupport::writeFile(incomplete, "");
    run(std::int64_t(content.size()), std::string("se\r\ncret"));
    EXPECT_FALSE(gets().back().header("Authorization").has_value());
}

TEST_F(DownloaderTest, CancelStopsTheTransferAndKeepsAResumablePrefix) {
    auto slow = fault("model.bin");
    slow.pauseBetweenPieces = std::chrono::milliseconds(50);
    slow.pieceSize = 1024;
    hub.addFault(slow);
    Downloader downloader(destination, incomplete, false, kChunk);
    auto stream = downloader.download(source(), std::nullopt, std::int64_t(content.size()));
    // Wait for the first whole chunk, then cancel.
    while (Downloader::incompleteFileSize(incomplete) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    downloader.cancel();
    auto states = statesUntilEnd(stream);
    EXPECT_EQ(errorOf<net::UrlError>(failure(states)).code(), net::UrlError::Code::cancelled);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(destination));
    const std::string partial = testsupport::readFile(incomplete);
    EXPECT_EQ(partial.size() % kChunk, 0u);
    EXPECT_EQ(partial, content.substr(0, partial.size()));
}

TEST(Broadcaster, NewSubscriberFindsTheLatestStateAlreadyWaiting) {
    orvane::Broadcaster<int> broadcaster([] { return std::optional<int>(-1); });
    auto early = broadcaster.subscribe();
    EXPECT_EQ(early->tryPop(), -1);
    broadcaster.broadcast(1);
    broadcaster.broadcast(2);
    auto late = broadcaster.subscribe();
    EXPECT_EQ(late->tryPop(), 2);
    EXPECT_EQ(early->tryPop(), 1);
    EXPECT_EQ(early->tryPop(), 2);
    late.reset();
    broadcaster.broadcast(3);
    EXPECT_EQ(broadcaster.subscriberCount(), 1u);
}

TEST(Broadcaster, SubscribersJoiningDuringBroadcastsNeverSeeAnOlderStateAfterANewerOne) {
    orvane::Broadcaster<int> broadcaster([] { return std::optional<int>(0); });
    constexpr int kLast = 20'000;
    std::jthread producer([&] {
        for (int i = 1; i <= kLast; ++i) {
            broadcaster.broadcast(i);
        }
    });
    std::vector<orvane::Broadcaster<int>::Stream> streams;
    for (int i = 0; i < 200; ++i) {
        streams.push_back(broadcaster.subscribe());
    }
    producer.join();
    for (auto& stream : streams) {
        int previous = -1;
        while (auto value = stream->tryPop()) {
            ASSERT_GT(*value, previous);
            previous = *value;
        }
        EXPECT_EQ(previous, kLast);
    }
}

TEST(MoveDownloadedFile, ReplacesTheDestinationAndCreatesItsFolder) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "new", "new");
    testsupport::writeFile(folder / "a" / "b" / "file", "old");
    orvane::moveDownloadedFile(folder / "new", folder / "a" / "b" / "file");
    EXPECT_EQ(testsupport::readFile(folder / "a" / "b" / "file"), "new");
    EXPECT_FALSE(fs::exists(folder / "new"));

    testsupport::writeFile(folder / "other", "other");
    orvane::moveDownloadedFile(folder / "other", folder / "x" / "y" / "file");
    EXPECT_EQ(testsupport::readFile(folder / "x" / "y" / "file"), "other");
}

TEST(MoveDownloadedFile, FailedMoveLeavesTheDestinationAsItWas) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "file", "old");
    EXPECT_THROW(orvane::moveDownloadedFile(folder / "missing", folder / "file"), fs::filesystem_error);
    EXPECT_EQ(testsupport::readFile(folder / "file"), "old");
}

TEST_F(DownloaderTest, SecondTransferOfTheSameFileFailsInsteadOfMixingBytesIntoIt) {
    auto slow = fault("model.bin");
    slow.pauseBetweenPieces = std::chrono::milliseconds(20);
    slow.pieceSize = 2048;
    hub.addFault(slow);
    Downloader first(destination, incomplete, false, kChunk);
    auto firstStates = first.download(source(), std::nullopt, std::int64_t(content.size()));
    while (Downloader::incompleteFileSize(incomplete) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Downloader second(destination, incomplete, false, kChunk);
    auto secondStates = statesUntilEnd(second.download(source(), std::nullopt, std::int64_t(content.size())));
    EXPECT_EQ(errorOf<std::system_error>(failure(secondStates)).code(), std::errc::device_or_resource_busy);

    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(statesUntilEnd(firstStates).back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
}

TEST_F(DownloaderTest, PartialFileHoldingTheWholeFileIsFinishedNotThrownAway) {
    // What a run leaves when it is stopped after its last write but before the move.
    testsupport::writeFile(incomplete, content);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
    EXPECT_FALSE(fs::exists(incomplete));
    ASSERT_EQ(gets().size(), 1u);
    EXPECT_EQ(gets()[0].header("Range"), "bytes=" + std::to_string(content.size()) + "-");
}

TEST_F(DownloaderTest, RetryAfterARestartFromZeroAsksForTheWholeFileAgain) {
    // The server ignores the range once and the connection breaks before a whole chunk was written: the
    // partial file is empty again, so the retry must not ask for the old offset.
    testsupport::writeFile(incomplete, content.substr(0, 10'000));
    auto wholeThenCut = fault("model.bin");
    wholeThenCut.ignoreRange = true;
    wholeThenCut.cutAfterBytes = 1000;
    wholeThenCut.times = 1;
    hub.addFault(wholeThenCut);
    auto states = run(std::int64_t(content.size()));
    ASSERT_TRUE(std::holds_alternative<Downloader::Completed>(states.back()));
    EXPECT_EQ(testsupport::readFile(destination), content);
    ASSERT_EQ(gets().size(), 2u);
    EXPECT_FALSE(gets()[1].header("Range"));
}
