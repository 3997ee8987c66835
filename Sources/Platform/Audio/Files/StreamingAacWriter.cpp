#include "Platform/Audio/Files/StreamingAacWriter.h"

#include "Platform/Audio/Files/AacFileWriter.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace audio {

namespace {
// Blocks kept for reuse; a stream steadier than this never allocates after its first few callbacks.
constexpr size_t kSpareBlocks = 16;
} // namespace

StreamingAacWriter::StreamingAacWriter(const std::filesystem::path& path, int sampleRate, int channels)
    : sampleRate_(sampleRate), channels_(channels),
      file_(std::make_unique<AacFileWriter>(path, AacFileWriter::Container::fragmentedMp4, sampleRate,
                                            channels)) {
    thread_ = std::thread([this] { run(); });
}

StreamingAacWriter::~StreamingAacWriter() {
    try {
        close();
    } catch (...) {
        // Nothing can be reported from here; the file holds what was encoded before the failure.
    }
}

void StreamingAacWriter::write(const float* const* channels, int64_t frames) {
    if (frames <= 0) {
        return;
    }
    std::vector<float> block;
    {
        std::lock_guard lock(mutex_);
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        if (closing_) {
            throw std::logic_error("streaming AAC writer: write after close");
        }
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    block.resize(size_t(frames) * size_t(channels_));
    for (int c = 0; c < channels_; ++c)
        std::copy_n(channels[c], frames, block.data() + size_t(c) * size_t(frames));
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(block));
        framesQueued_ += frames;
    }
    wake_.notify_one();
}

void StreamingAacWriter::close() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            if (failure_) {
                std::rethrow_exception(failure_);
            }
            return;
        }
        closing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) {
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    closed_ = true;
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

int64_t StreamingAacWriter::framesQueued() const {
    std::lock_guard lock(mutex_);
    return framesQueued_;
}

void StreamingAacWriter::run() {
    std::array<const float*, 8> planes{};
    while (true) {
        std::vector<float> block;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) {
                break; // closing, and everything queued is encoded
            }
            block = std::move(queue_.front());
            queue_.pop_front();
        }
        try {
            const int64_t frames = int64_t(block.size()) / channels_;
            for (int c = 0; c < channels_; ++c)
                planes[size_t(c)] = block.data() + size_t(c) * size_t(frames);
            file_->write(planes.data(), frames);
        } catch (...) {
            std::lock_guard lock(mutex_);
            failure_ = std::current_exception();
            queue_.clear();
            closing_ = true; // later writes see the failure; the loop drains out
            break;
        }
        std::lock_guard lock(mutex_);
        if (spare_.size() < kSpareBlocks) {
            spare_.push_back(std::move(block));
        }
    }
    try {
        file_->finish();
    } catch (...) {
        std::lock_guard lock(mutex_);
        if (!failure_) {
            failure_ = std::current_exception();
        }
    }
    file_.reset();
}

} // namespace audio
