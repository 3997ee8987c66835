#pragma once
// An update feed on 127.0.0.1 for tests: answers every GET with the status and body it was given, and
// can hold answers back until the test releases them, so a test sees a check "in flight" without
// waiting on the clock.

#include <memory>
#include <string>

namespace testsupport {

class FeedServer {
public:
    /// Listens at a port the system picks; answers 200 with an empty <updates/> until told otherwise.
    FeedServer();
    /// Releases held answers first.
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    /// "http://127.0.0.1:<port>/feed.xml"
    std::string url() const;

    void answer(int status, std::string body);
    /// A feed of `<item version="V" url="https://example.com/V"/>` per given version.
    void offer(std::initializer_list<std::string> versions);

    /// Answers wait until release().
    void hold();
    void release();
    /// Blocks until at least `count` requests have arrived (held ones included).
    void waitForRequests(int count) const;
    int requestCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace testsupport
