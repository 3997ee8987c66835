#include "Support/FeedServer.h"

#include <condition_variable>
#include <httplib.h>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace testsupport {

struct FeedServer::Impl {
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex lock;
    mutable std::condition_variable changed;
    int status = 200;
    std::string body = "<updates/>";
    bool held = false;
    int requests = 0;
};

FeedServer::FeedServer() : impl_(std::make_unique<Impl>()) {
    Impl& impl = *impl_;
    impl.server.Get(".*", [&impl](const httplib::Request&, httplib::Response& response) {
        std::unique_lock guard(impl.lock);
        ++impl.requests;
        impl.changed.notify_all();
        impl.changed.wait(guard, [&impl] { return !impl.held; });
        response.status = impl.status;
        // Stopping the server then never waits for an idle client's connection.
        response.set_header("Connection", "close");
        response.set_content(impl.body, "application/xml");
    });
    impl.port = impl.server.bind_to_any_port("127.0.0.1");
    if (impl.port <= 0) {
        throw std::runtime_error("the feed server could not bind to 127.0.0.1");
    }
    impl.thread = std::thread([&impl] { impl.server.listen_after_bind(); });
    while (!impl.server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

FeedServer::~FeedServer() {
    release();
    impl_->server.stop();
    impl_->thread.join();
}

std::string FeedServer::url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port) + "/feed.xml";
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
