// One resumable file transfer from a local HTTP server into the mirror, as the single-file download
// runs it (10 MiB writes, progress per write, final size check, move into place): bytes per second for
// files of 16 MiB and 256 MiB, so the downloader's own cost can be compared with the network's.
// A 630 MB model over a link of R bytes per second needs at least 630 MB / min(R, this rate).

#include "OrvaneCore/External/Hub/Download/Downloader.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/// Answers every GET on 127.0.0.1 with one in-memory file, one connection at a time, for as long as it
/// lives. Plain sockets: the benchmark measures the downloader, not an HTTP library.
class LocalServer {
public:
    explicit LocalServer(std::shared_ptr<const std::string> content) : content_(std::move(content)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/file"; }

private:
    void serve() {
        for (;;) {
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0) {
                return;
            }
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<size_t>(got));
            }
            const std::string head =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(content_->size()) +
                "\r\nConnection: close\r\n\r\n";
            send(connection, head.data(), head.size());
            send(connection, content_->data(), content_->size());
            ::close(connection);
        }
    }

    static void send(int connection, const char* data, size_t size) {
        while (size > 0) {
            const ssize_t sent = ::send(connection, data, size, MSG_NOSIGNAL);
            if (sent <= 0) {
                return;
            }
            data += sent;
            size -= static_cast<size_t>(sent);
        }
    }

    std::shared_ptr<const std::string> content_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

void BM_DownloadFile(benchmark::State& state) {
    const std::int64_t bytes = state.range(0) << 20;
    auto content = std::make_shared<std::string>(static_cast<size_t>(bytes), '\0');
    for (size_t i = 0; i < content->size(); ++i) {
        (*content)[i] = static_cast<char>(i * 131 % 251);
    }
    LocalServer server(content);
    const fs::path folder =
        fs::temp_directory_path() / ("velmora-bench-download-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const auto source = *net::Url::parse(server.url());
    for (auto _ : state) {
        std::ofstream(folder / "file.incomplete").flush();
        orvane::Downloader downloader(folder / "file", folder / "file.incomplete");
        auto states = downloader.download(source, std::nullopt, bytes);
        while (auto next = states->pop()) {
            if (std::holds_alternative<orvane::Downloader::Failed>(*next)) {
                state.SkipWithError("the transfer failed");
                break;
            }
            if (std::holds_alternative<orvane::Downloader::Completed>(*next)) {
                break;
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    fs::remove_all(folder);
}

} // namespace

BENCHMARK(BM_DownloadFile)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond)->UseRealTime();
