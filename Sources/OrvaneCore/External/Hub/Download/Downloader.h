#pragma once
// Fetches one remote file into a partial ("incomplete") file, resuming from whatever that file already
// holds, retrying after transfer failures, and finally moving it to its destination. Progress reaches
// any number of subscribers through a Broadcaster of DownloadState values.
//
// The transfer runs on a thread owned by the downloader; destroying the downloader stops and joins it.
// The partial file is written only in whole chunks, so its length is always a correct prefix of the
// remote file and the next run resumes from there.

#include "OrvaneCore/External/Hub/Download/Broadcaster.h"
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/HttpRequest.h"
#include "Platform/Net/Url.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <thread>
#include <variant>

namespace orvane {

class Downloader {
public:
    struct Downloading {
        /// 0 to 1, counting bytes already present from earlier attempts.
        double fraction = 0;
        /// Bytes per second over the interval since the previous report; none when not measured.
        std::optional<double> speed;
    };
    struct Completed {
        std::filesystem::path url;
    };
    struct Failed {
        std::exception_ptr error;
    };
    struct NotStarted {};
    using DownloadState = std::variant<Downloading, Completed, Failed, NotStarted>;

    class DownloadError : public std::runtime_error {
    public:
        enum class Kind { invalidDownloadLocation, unexpectedError, tempFileNotFound };
        explicit DownloadError(Kind kind);
        /// The same error, described by what went wrong.
        DownloadError(Kind kind, const std::string& description);
        Kind kind() const { return kind_; }
        friend bool operator==(const DownloadError& a, const DownloadError& b) { return a.kind_ == b.kind_; }

    private:
        Kind kind_;
    };

    static constexpr std::size_t defaultChunkSize = 10'485'760;
    static constexpr std::chrono::milliseconds requestTimeout{10'000};
    static constexpr int retryCount = 5;

    /// `inBackground` asks for a transfer that outlives the process; this platform has no such
    /// session, so the flag is accepted and the transfer runs like any other.
    Downloader(std::filesystem::path destination, std::filesystem::path incompleteDestination,
               bool inBackground = false, std::size_t chunkSize = defaultChunkSize);
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    /// Starts the transfer (stopping any earlier one of this downloader first) from the size of the
    /// incomplete file and returns a new subscription. `expectedSize` enables progress states and the
    /// final size check. Never throws for transfer problems: they arrive as Failed states.
    Broadcaster<DownloadState>::Stream download(const net::Url& source,
                                                const std::optional<std::string>& authToken,
                                                std::optional<std::int64_t> expectedSize);

    /// Stops the transfer and broadcasts Failed with net::UrlError cancelled. Callable from any thread.
    void cancel();

    /// Size of the file in bytes; 0 when it is missing or unreadable.
    static std::int64_t incompleteFileSize(const std::filesystem::path& path);

    Broadcaster<DownloadState>::Stream subscribe() { return broadcaster_.subscribe(); }

    /// Checks the complete partial file before it is moved into place (given its path). When it throws,
    /// the partial file is removed and the transfer fails with that error. Set before download().
    using Verifier = std::function<void(const std::filesystem::path& completeFile)>;
    void setVerifier(Verifier verifier) { verifier_ = std::move(verifier); }

    /// The pause before a retry (one second). Tests shorten it.
    void setRetryDelay(std::chrono::milliseconds delay) { retryDelay_ = delay; }
    /// The pause before a retry for downloaders made from now on, also those the hub client makes
    /// (one second). Tests shorten it.
    static void setDefaultRetryDelay(std::chrono::milliseconds delay);
    static std::chrono::milliseconds defaultRetryDelay();

private:
    struct Attempt;

    void setUpDownload(std::stop_token stop, net::Url url, std::optional<std::string> authToken,
                       std::int64_t resumeSize, net::HttpHeaders headers, std::chrono::milliseconds timeout,
                       int numRetries);
    void httpGet(std::stop_token stop, const net::HttpRequest& request, int file, int numRetries);
    void readBody(std::stop_token stop, net::HttpRequest request, int file, Attempt& attempt);
    void sleepBeforeRetry(const std::stop_token& stop) const;

    std::int64_t downloadedSize() const;
    void addDownloaded(std::int64_t bytes);
    void setDownloaded(std::int64_t bytes);
    /// Removes the partial file (a failure to remove it is ignored) and counts nothing downloaded.
    void discardIncompleteFile();
    std::optional<std::int64_t> expectedSize() const;

    const std::filesystem::path destination_;
    const std::filesystem::path incompleteDestination_;
    const std::size_t chunkSize_;
    std::chrono::milliseconds retryDelay_;
    Verifier verifier_;
    Broadcaster<DownloadState> broadcaster_;

    // Resume state and the running transfer.
    mutable std::mutex mutex_;
    std::optional<std::int64_t> expectedSize_;
    std::int64_t downloadedSize_ = 0;
    std::jthread task_;
};

} // namespace orvane
