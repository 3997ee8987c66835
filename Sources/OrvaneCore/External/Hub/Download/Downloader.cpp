#include "OrvaneCore/External/Hub/Download/Downloader.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/External/Hub/Client/HubApi.h"
#include "OrvaneCore/External/Hub/Files/MoveDownloadedFile.h"
#include "OrvaneCore/Logging/Logging.h"
#include "Platform/Net/HttpSession.h"
#include "Platform/Net/UrlError.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace orvane {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string describe(Downloader::DownloadError::Kind kind) {
    // The error has no text of its own; this is how the platform describes such an error.
    return "The operation couldn’t be completed. (Downloader.DownloadError error " +
           std::to_string(static_cast<int>(kind)) + ".)";
}

std::system_error fileError(const char* what) {
    return std::system_error(errno, std::generic_category(), what);
}

void writeAll(int file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(file, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw fileError("cannot write the incomplete download file");
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

/// Makes this transfer the only writer of the partial file until `file` is closed (after the move). A
/// second transfer of the same file, in this process or another, fails instead of appending to it, or,
/// once the first has moved it into place, to the finished file. (Downloads through the hub client take
/// turns before they get here, so only a second downloader used directly meets this.)
void claimPartialFile(int file, const fs::path& path) {
    const std::string busy = "another download of " + path.string() + " is running";
    if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            throw std::system_error(std::make_error_code(std::errc::device_or_resource_busy), busy);
        }
        throw fileError("cannot lock the incomplete download file");
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(file, &opened) != 0 || ::stat(path.c_str(), &named) != 0 || opened.st_dev != named.st_dev ||
        opened.st_ino != named.st_ino) {
        throw std::system_error(std::make_error_code(std::errc::device_or_resource_busy), busy);
    }
}

std::string rangeFrom(std::int64_t offset) {
    return "bytes=" + std::to_string(offset) + "-";
}

std::atomic<std::chrono::milliseconds::rep> defaultRetryDelayMs{1000};

} // namespace

Downloader::DownloadError::DownloadError(Kind kind) : std::runtime_error(describe(kind)), kind_(kind) {}

Downloader::DownloadError::DownloadError(Kind kind, const std::string& description)
    : std::runtime_error(description), kind_(kind) {}

/// What one attempt measures while it reads the body.
struct Downloader::Attempt {
    std::string buffer;
    Clock::time_point start = Clock::now();
    std::int64_t baseline = 0;
    int remainingRetries = 0;
    bool responded = false;
};

Downloader::Downloader(fs::path destination, fs::path incompleteDestination, bool inBackground,
                       std::size_t chunkSize)
    : destination_(std::move(destination)), incompleteDestination_(std::move(incompleteDestination)),
      chunkSize_(chunkSize), retryDelay_(defaultRetryDelay()),
      broadcaster_([] { return std::optional<DownloadState>(NotStarted{}); }) {
    if (chunkSize_ == 0) {
        throw std::invalid_argument("Downloader needs a chunk size of at least 1 byte");
    }
}

Downloader::~Downloader() {
    std::jthread task;
    {
        std::lock_guard lock(mutex_);
        task = std::move(task_);
    }
    // jthread's destructor asks the transfer to stop and waits for it.
}

void Downloader::setDefaultRetryDelay(std::chrono::milliseconds delay) {
    defaultRetryDelayMs = delay.count();
}

std::chrono::milliseconds Downloader::defaultRetryDelay() {
    return std::chrono::milliseconds(defaultRetryDelayMs.load());
}

std::int64_t Downloader::incompleteFileSize(const fs::path& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

Broadcaster<Downloader::DownloadState>::Stream
Downloader::download(const net::Url& source, const std::optional<std::string>& authToken,
                     std::optional<std::int64_t> expectedSize) {
    std::jthread previous;
    {
        std::lock_guard lock(mutex_);
        previous = std::move(task_);
    }
    if (previous.joinable()) {
        // Two transfers must never write the same partial file.
        previous.request_stop();
        previous.join();
    }
    const std::int64_t resumeSize = incompleteFileSize(incompleteDestination_);
    // Subscribe before the transfer starts, so that this subscriber sees every state of it.
    auto stream = broadcaster_.subscribe();
    std::lock_guard lock(mutex_);
    expectedSize_ = expectedSize;
    task_ = std::jthread([this, source, authToken, resumeSize](std::stop_token stop) {
        setUpDownload(stop, source, authToken, resumeSize, {}, requestTimeout, retryCount);
    });
    return stream;
}

void Downloader::cancel() {
    {
        std::lock_guard lock(mutex_);
        task_.request_stop();
    }
    broadcaster_.broadcast(Failed{std::make_exception_ptr(net::UrlError(net::UrlError::Code::cancelled))});
}

void Downloader::setUpDownload(std::stop_token stop, net::Url url, std::optional<std::string> authToken,
                               std::int64_t resumeSize, net::HttpHeaders headers,
                               std::chrono::milliseconds timeout, int numRetries) {
    net::HttpRequest request(std::move(url));
    if (auto authorization = HubApi::authorizationHeader(authToken)) {
        headers.set("Authorization", *authorization);
    }
    setDownloaded(resumeSize);
    const auto expected = expectedSize();
    if (resumeSize >= 1) {
        headers.set("Range", rangeFrom(resumeSize));
        const bool known = expected && *expected >= 1;
        broadcaster_.broadcast(
            Downloading{known ? double(resumeSize) / double(*expected) : 0.0, std::nullopt});
    } else {
        broadcaster_.broadcast(Downloading{0.0, std::nullopt});
    }
    request.timeout = timeout;
    request.headers = std::move(headers);

    // O_APPEND: every write lands at the end, also after the file was emptied for a server that
    // ignored the range.
    const int file = ::open(incompleteDestination_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (file < 0) {
        broadcaster_.broadcast(
            Failed{std::make_exception_ptr(fileError("cannot open the incomplete download file"))});
        return;
    }
    try {
        claimPartialFile(file, incompleteDestination_);
        httpGet(stop, request, file, numRetries);
        if (stop.stop_requested()) {
            throw CancellationError();
        }
        if (verifier_) {
            try {
                verifier_(incompleteDestination_);
            } catch (...) {
                // Wrong bytes must neither be placed nor resumed from.
                discardIncompleteFile();
                throw;
            }
        }
        moveDownloadedFile(incompleteDestination_, destination_);
    } catch (...) {
        ::close(file);
        broadcaster_.broadcast(Failed{std::current_exception()});
        return;
    }
    broadcaster_.broadcast(Completed{destination_});
    ::close(file);
}

void Downloader::httpGet(std::stop_token stop, const net::HttpRequest& request, int file, int numRetries) {
    // A loop, not a call per retry: a long download on a poor link retries many times, and each
    // attempt's 10 MiB buffer must be gone before the next one starts.
    for (int retries = numRetries;;) {
        {
            Attempt attempt;
            attempt.remainingRetries = retries;
            try {
                readBody(stop, request, file, attempt);
                return;
            } catch (const net::UrlError& error) {
                // Only a transfer that broke off after its answer began is worth another try; the bytes
                // it left in memory are dropped and asked for again.
                if (!attempt.responded || attempt.remainingRetries <= 0) {
                    throw;
                }
                Logging::info("Download of", request.url.absoluteString(), "interrupted (", error.what(),
                              "); retrying from byte", downloadedSize());
                retries = attempt.remainingRetries - 1;
            }
        }
        sleepBeforeRetry(stop);
    }
}

void Downloader::readBody(std::stop_token stop, net::HttpRequest request, int file, Attempt& attempt) {
    const std::int64_t offset = downloadedSize();
    const bool ranged = offset >= 1;
    if (ranged) {
        request.headers.set("Range", rangeFrom(offset));
    } else {
        // After a restart from byte 0 the first request's range no longer fits the partial file.
        request.headers.remove("Range");
    }
    const auto expected = expectedSize();

    net::HttpSession::BodyHandler handler;
    bool alreadyComplete = false;
    handler.onResponse = [&](const net::HttpResponse& response) {
        if (response.statusCode == 416 && ranged && expected && offset == *expected) {
            // Nothing is left to send because the partial file already holds the whole file (an earlier
            // run was stopped, or failed to move it, after its last write): finish it, not fail it.
            alreadyComplete = true;
            attempt.responded = true;
            return;
        }
        if (response.statusCode == 416) {
            // The server cannot serve the rest of this partial file, now or later: without it the next
            // run starts afresh instead of failing the same way for ever.
            discardIncompleteFile();
            throw Downloader::DownloadError(DownloadError::Kind::unexpectedError,
                                            "The server cannot send " + destination_.string() + " from byte " +
                                                std::to_string(offset) + " on (status 416)");
        }
        if (response.statusCode < 200 || response.statusCode > 299) {
            throw Downloader::DownloadError(DownloadError::Kind::unexpectedError,
                                            "The server answered the download of " + destination_.string() +
                                                " from " + request.url.absoluteString() + " with status " +
                                                std::to_string(response.statusCode));
        }
        if (ranged && response.statusCode == 200) {
            // The whole file instead of the rest: start the partial file over rather than append.
            if (::ftruncate(file, 0) != 0) {
                throw fileError("cannot empty the incomplete download file");
            }
            setDownloaded(0);
        }
        attempt.responded = true;
        attempt.start = Clock::now();
        attempt.baseline = downloadedSize();
        attempt.buffer.reserve(chunkSize_);
    };
    handler.onData = [&](std::string_view piece) {
        if (alreadyComplete) {
            return; // the refusal's own text, not file content
        }
        while (!piece.empty()) {
            const std::size_t take = std::min(piece.size(), chunkSize_ - attempt.buffer.size());
            attempt.buffer.append(piece.substr(0, take));
            piece.remove_prefix(take);
            if (attempt.buffer.size() < chunkSize_) {
                continue;
            }
            writeAll(file, attempt.buffer.data(), attempt.buffer.size());
            addDownloaded(static_cast<std::int64_t>(attempt.buffer.size()));
            attempt.buffer.clear();
            attempt.remainingRetries = retryCount;
            if (!expected) {
                continue;
            }
            const std::int64_t done = downloadedSize();
            const double fraction = *expected == 0 ? 0.0 : double(done) / double(*expected);
            const auto now = Clock::now();
            const double elapsed = std::chrono::duration<double>(now - attempt.start).count();
            std::optional<double> speed;
            if (elapsed > 0) {
                speed = double(done - attempt.baseline) / elapsed;
            }
            attempt.start = now;
            attempt.baseline = done;
            broadcaster_.broadcast(Downloading{fraction, speed});
        }
    };
    net::HttpSession::shared().stream(request, handler, stop);

    if (!attempt.buffer.empty()) {
        writeAll(file, attempt.buffer.data(), attempt.buffer.size());
        addDownloaded(static_cast<std::int64_t>(attempt.buffer.size()));
        attempt.buffer.clear();
    }
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        throw fileError("cannot measure the incomplete download file");
    }
    if (expected && *expected != static_cast<std::int64_t>(status.st_size)) {
        // A partial file of the wrong size would be resumed from a wrong offset by every later run.
        discardIncompleteFile();
        throw Downloader::DownloadError(DownloadError::Kind::unexpectedError,
                                        "The download of " + destination_.string() + " received " +
                                            std::to_string(status.st_size) + " bytes, not the expected " +
                                            std::to_string(*expected));
    }
}

void Downloader::sleepBeforeRetry(const std::stop_token& stop) const {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    if (wake.wait_for(lock, stop, retryDelay_, [] { return false; }) || stop.stop_requested()) {
        throw CancellationError();
    }
}

std::int64_t Downloader::downloadedSize() const {
    std::lock_guard lock(mutex_);
    return downloadedSize_;
}

void Downloader::addDownloaded(std::int64_t bytes) {
    std::lock_guard lock(mutex_);
    downloadedSize_ += bytes;
}

void Downloader::setDownloaded(std::int64_t bytes) {
    std::lock_guard lock(mutex_);
    downloadedSize_ = bytes;
}

void Downloader::discardIncompleteFile() {
    std::error_code ignored;
    fs::remove(incompleteDestination_, ignored);
    setDownloaded(0);
}

std::optional<std::int64_t> Downloader::expectedSize() const {
    std::lock_guard lock(mutex_);
    return expectedSize_;
}

} // namespace orvane
