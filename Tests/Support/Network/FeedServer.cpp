#include "Support/Network/FeedServer.h"

#include "Support/Network/LoopbackServer.h"

#include <condition_variable>
#include <mutex>

namespace testsupport {

struct FeedServer::Impl {
    LoopbackServer http;

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    int status = 200;
    std::string body = "<updates/>";
    bool held = false;
    int requests = 0;
};

FeedServer::FeedServer() : impl_(std::make_unique<Impl>()) {
    Impl& impl = *impl_;
    impl.http.server.Get(".*", [&impl](const httplib::Request&, httplib::Response& response) {
        std::unique_lock guard(impl.lock);
        ++impl.requests;
        impl.changed.notify_all();
        impl.changed.wait(guard, [&impl] { return !impl.held; });
        response.status = impl.status;
        // Stopping the server then never waits for an idle client's connection.
        response.set_header("Connection", "close");
        response.set_content(impl.body, "application/xml");
    });
    impl.http.start("the feed server");
}

FeedServer::~FeedServer() {
    release();
    impl_->http.stop();
}

std::string FeedServer::url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->http.port()) + "/feed.xml";
}

void FeedServer::answer(int status, std::string body) {
    std::lock_guard guard(impl_->lock);
    impl_->status = status;
    impl_->body = std::move(body);
}

void FeedServer::offer(std::initializer_list<std::string> versions) {
    std::string feed = "<updates>";
    for (const std::string& version : versions) {
        feed += "<item version=\"" + version + "\" url=\"https://example.com/" + version + "\"/>";
    }
    answer(200, feed + "</updates>");
}

void FeedServer::hold() {
    std::lock_guard guard(impl_->lock);
    impl_->held = true;
}

void FeedServer::release() {
    std::lock_guard guard(impl_->lock);
    impl_->held = false;
    impl_->changed.notify_all();
}

void FeedServer::waitForRequests(int count) const {
    std::unique_lock guard(impl_->lock);
    impl_->changed.wait(guard, [&] { return impl_->requests >= count; });
}

int FeedServer::requestCount() const {
    std::lock_guard guard(impl_->lock);
    return impl_->requests;
}

} // namespace testsupport
