#include "Platform/Net/HttpSession.h"
#include "Platform/Net/UrlError.h"
#include "Support/Network/FakeHub.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using net::HttpRequest;
using net::HttpSession;
using net::Url;
using net::UrlError;
using testsupport::FakeHub;

namespace {

class HttpSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::writeFile(folder / "small.txt", "hello");
        std::string big(300'000, '\0');
        for (size_t i = 0; i < big.size(); ++i) {
            big[i] = static_cast<char>('a' + i % 26);
        }
        testsupport::writeFile(folder / "big.bin", big);
        bigContent = big;
        hub.addRepository("owner/name", folder.path());
    }

    Url resolve(const std::string& file) const {
        return *Url::parse(hub.endpoint() + "/owner/name/resolve/main/" + file);
    }

    void expectUrlError(const std::function<void()>& call, UrlError::Code code) {
        try {
            call();
            ADD_FAILURE() << "no error";
        } catch (const UrlError& error) {
            EXPECT_EQ(error.code(), code) << error.what() << " / " << error.detail();
        }
    }

    testsupport::TemporaryDirectory folder;
    FakeHub hub;
    std::string bigContent;
};

} // namespace

TEST_F(HttpSessionTest, GetsABodyAndHeadersWhateverTheirCase) {
    HttpRequest request(resolve("small.txt"));
    request.headers.set("Authorization", "Bearer abc");
    auto data = HttpSession::shared().send(request);
    EXPECT_EQ(data.response.statusCode, 200);
    EXPECT_EQ(data.body, "hello");
    EXPECT_EQ(data.response.value("x-repo-commit"), hub.commit());
    EXPECT_EQ(data.response.value("ETAG"), "\"" + hub.etagFor("owner/name", "small.txt") + "\"");
    EXPECT_EQ(hub.requests().back().header("authorization"), "Bearer abc");
}

TEST_F(HttpSessionTest, HeadBringsHeadersWithoutBody) {
    auto data = HttpSession::shared().send(HttpRequest(resolve("big.bin"), "HEAD"));
    EXPECT_EQ(data.response.statusCode, 200);
    EXPECT_TRUE(data.body.empty());
    EXPECT_EQ(data.response.value("X-Linked-Size"), std::to_string(bigContent.size()));
    EXPECT_EQ(hub.requests().back().method, "HEAD");
}

TEST_F(HttpSessionTest, StatusCodesAreAnswersNotErrors) {
    auto data = HttpSession::shared().send(HttpRequest(resolve("missing.txt")));
    EXPECT_EQ(data.response.statusCode, 404);
}

TEST_F(HttpSessionTest, FollowsRedirectsAndReportsTheFinalAddress) {
    hub.addFault(FakeHub::Fault::on("/start").redirect("/owner/name/resolve/main/small.txt"));
    auto data = HttpSession::shared().send(HttpRequest(*Url::parse(hub.endpoint() + "/start")));
    EXPECT_EQ(data.response.statusCode, 200);
    EXPECT_EQ(data.body, "hello");
    EXPECT_EQ(data.response.url.absoluteString(), resolve("small.txt").absoluteString());
}

TEST_F(HttpSessionTest, RedirectLoopsEndAfterTheHopLimit) {
    hub.addFault(FakeHub::Fault::on("/loop").redirect("/loop"));
    HttpRequest request(*Url::parse(hub.endpoint() + "/loop"));
    expectUrlError([&] { HttpSession::shared().send(request); }, UrlError::Code::httpTooManyRedirects);

    hub.clearRequests();
    HttpSession asking([](const net::HttpResponse& redirect, const HttpRequest& original) {
        HttpRequest next = original;
        next.url = original.url.withPathAndQuery(*redirect.value("Location"), std::nullopt);
        return std::optional<HttpRequest>(next);
    });
    expectUrlError([&] { asking.send(request); }, UrlError::Code::httpTooManyRedirects);
    EXPECT_EQ(hub.requests().size(), static_cast<size_t>(HttpSession::maxRedirects + 1));
}

TEST_F(HttpSessionTest, ARedirectTheDecisionDeclinesIsTheAnswer) {
    hub.addFault(FakeHub::Fault::on("/start").redirect("http://elsewhere.invalid/file"));
    int asked = 0;
    HttpSession asking([&](const net::HttpResponse& redirect, const HttpRequest&) {
        ++asked;
        EXPECT_EQ(redirect.statusCode, 302);
        return std::optional<HttpRequest>();
    });
    auto data = asking.send(HttpRequest(*Url::parse(hub.endpoint() + "/start"), "HEAD"));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(data.response.statusCode, 302);
    EXPECT_EQ(data.response.value("location"), "http://elsewhere.invalid/file");
}

TEST_F(HttpSessionTest, StreamsARangeWithProgress) {
    HttpRequest request(resolve("big.bin"));
    request.headers.set("Range", "bytes=1000-");
    std::string received;
    std::int64_t lastReceived = 0;
    std::optional<std::int64_t> expected;
    int status = 0;
    HttpSession::BodyHandler handler;
    handler.onResponse = [&](const net::HttpResponse& response) { status = response.statusCode; };
    handler.onData = [&](std::string_view piece) { received.append(piece); };
    handler.onProgress = [&](std::int64_t done, std::optional<std::int64_t> total) {
        EXPECT_GT(done, lastReceived);
        lastReceived = done;
        expected = total;
    };
    HttpSession::shared().stream(request, handler);
    EXPECT_EQ(status, 206);
    EXPECT_EQ(received, bigContent.substr(1000));
    EXPECT_EQ(lastReceived, static_cast<std::int64_t>(bigContent.size() - 1000));
    EXPECT_EQ(expected, lastReceived);
}

TEST_F(HttpSessionTest, ACutConnectionIsALostConnection) {
    hub.addFault(FakeHub::Fault::on("big.bin").cutAfter(100'000));
    std::string received;
    HttpSession::BodyHandler handler;
    handler.onData = [&](std::string_view piece) { received.append(piece); };
    expectUrlError([&] { HttpSession::shared().stream(HttpRequest(resolve("big.bin")), handler); },
                   UrlError::Code::networkConnectionLost);
    EXPECT_EQ(received, bigContent.substr(0, received.size()));
    EXPECT_LE(received.size(), 100'000u);
}

TEST_F(HttpSessionTest, TheHeadArrivesBeforeTheBodyAndALossRightAfterItIsALostConnection) {
    // The answer began, so a caller that retries broken bodies sees it as one, not as no answer.
    hub.addFault(FakeHub::Fault::on("big.bin").cutAfter(0));
    int status = 0;
    bool dataBeforeHead = false;
    HttpSession::BodyHandler handler;
    handler.onResponse = [&](const net::HttpResponse& response) { status = response.statusCode; };
    handler.onData = [&](std::string_view) { dataBeforeHead = dataBeforeHead || status == 0; };
    expectUrlError([&] { HttpSession::shared().stream(HttpRequest(resolve("big.bin")), handler); },
                   UrlError::Code::networkConnectionLost);
    EXPECT_EQ(status, 200);
    EXPECT_FALSE(dataBeforeHead);

    // A refusal from the head stops the transfer before any body is read.
    hub.clearFaults();
    std::size_t bodyBytes = 0;
    handler.onResponse = [](const net::HttpResponse&) { throw std::logic_error("not wanted"); };
    handler.onData = [&](std::string_view piece) { bodyBytes += piece.size(); };
    EXPECT_THROW(HttpSession::shared().stream(HttpRequest(resolve("big.bin")), handler), std::logic_error);
    EXPECT_EQ(bodyBytes, 0u);
}

TEST_F(HttpSessionTest, AnExceptionFromTheConsumerLeavesStreamUnchanged) {
    HttpSession::BodyHandler handler;
    handler.onData = [](std::string_view) { throw std::logic_error("disk full"); };
    EXPECT_THROW(HttpSession::shared().stream(HttpRequest(resolve("big.bin")), handler), std::logic_error);
    // The connection pool is still usable afterwards.
    EXPECT_EQ(HttpSession::shared().send(HttpRequest(resolve("small.txt"))).body, "hello");
}

TEST_F(HttpSessionTest, AnIdleServerTimesOut) {
    hub.addFault(FakeHub::Fault::on("small.txt").delayed(std::chrono::milliseconds(1500)));
    HttpRequest request(resolve("small.txt"));
    request.timeout = std::chrono::milliseconds(200);
    expectUrlError([&] { HttpSession::shared().send(request); }, UrlError::Code::timedOut);
}

TEST_F(HttpSessionTest, AStopRequestEndsATransferPromptly) {
    hub.addFault(FakeHub::Fault::on("big.bin").paced(1000, std::chrono::milliseconds(200)));
    std::stop_source stop;
    std::atomic<bool> started = false;
    HttpSession::BodyHandler handler;
    handler.onData = [&](std::string_view) { started = true; };
    std::jthread canceller([&] {
        while (!started) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop.request_stop();
    });
    auto begin = std::chrono::steady_clock::now();
    expectUrlError(
        [&] { HttpSession::shared().stream(HttpRequest(resolve("big.bin")), handler, stop.get_token()); },
        UrlError::Code::cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
}

TEST_F(HttpSessionTest, TransportFailuresMapToTheirCodes) {
    int closedPort = 0;
    {
        FakeHub gone;
        closedPort = gone.port();
    }
    expectUrlError(
        [&] {
            HttpSession::shared().send(
                HttpRequest(*Url::parse("http://127.0.0.1:" + std::to_string(closedPort) + "/")));
        },
        UrlError::Code::cannotConnectToHost);
    expectUrlError([&] { HttpSession::shared().send(HttpRequest(*Url::parse("ftp://127.0.0.1/x"))); },
                   UrlError::Code::unsupportedURL);
}

TEST_F(HttpSessionTest, ManyThreadsShareTheSessionSafely) {
    std::atomic<int> good = 0;
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 10; ++i) {
                    auto data =
                        HttpSession::shared().send(HttpRequest(resolve(i % 2 ? "small.txt" : "big.bin")));
                    if (data.body == (i % 2 ? std::string("hello") : bigContent)) {
                        ++good;
                    }
                }
            });
        }
    }
    EXPECT_EQ(good, 80);
}

TEST_F(HttpSessionTest, ProxySettingsFromTheEnvironmentAreRespected) {
    testsupport::ScopedEnvironment environment;
    environment.set("http_proxy", hub.endpoint());
    environment.unset("no_proxy");
    environment.unset("NO_PROXY");
    HttpSession::shared().send(HttpRequest(*Url::parse("http://hub.invalid/owner/name/resolve/main/small.txt")));
    // A proxy receives the whole address as the request target.
    EXPECT_EQ(hub.requests().back().target, "http://hub.invalid/owner/name/resolve/main/small.txt");

    // Hosts in no_proxy go direct, even while the proxy is gone.
    int closedPort = 0;
    {
        FakeHub gone;
        closedPort = gone.port();
    }
    environment.set("http_proxy", "http://127.0.0.1:" + std::to_string(closedPort));
    environment.set("no_proxy", "127.0.0.1");
    EXPECT_EQ(HttpSession::shared().send(HttpRequest(resolve("small.txt"))).body, "hello");
}

TEST_F(HttpSessionTest, TheFakeHubCanIgnoreOrRefuseARange) {
    HttpRequest request(resolve("big.bin"));
    request.headers.set("Range", "bytes=1000-");
    hub.addFault(FakeHub::Fault::on("big.bin").ignoringRange().limit(1));
    auto whole = HttpSession::shared().send(request);
    EXPECT_EQ(whole.response.statusCode, 200);
    EXPECT_EQ(whole.body, bigContent);
    EXPECT_EQ(HttpSession::shared().send(request).response.statusCode, 206); // the fault is spent

    request.headers.set("Range", "bytes=" + std::to_string(bigContent.size()) + "-");
    auto refused = HttpSession::shared().send(request);
    EXPECT_EQ(refused.response.statusCode, 416);
    EXPECT_EQ(refused.response.value("Content-Range"), "bytes */" + std::to_string(bigContent.size()));
}
