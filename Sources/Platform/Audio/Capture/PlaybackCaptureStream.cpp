#include "Platform/Audio/Capture/PlaybackCaptureStream.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace audio {

// The playback's state, shared with its thread so that a capture destroyed from its own handler can
// leave the thread to finish by itself.
class PlaybackCaptureStream::Player {
public:
    using Clock = std::chrono::steady_clock;

    Player(std::shared_ptr<const std::vector<float>> samples, uint32_t blockFrames, Clock::duration interval,
           BlockHandler handler, std::function<void()> onPlayed)
        : samples_(std::move(samples)), blockFrames_(blockFrames), interval_(interval),
          handler_(std::move(handler)), onPlayed_(std::move(onPlayed)) {}

    static void begin(const std::shared_ptr<Player>& player) {
        std::lock_guard guard(player->lock_);
        player->running_ = true;
        player->thread_ = std::thread([player] { player->play(); });
    }

    void resume() {
        std::lock_guard guard(lock_);
        if (!stopping_ && !played_) {
            running_ = true;
            changed_.notify_all();
        }
    }

    void pause() {
        std::unique_lock guard(lock_);
        running_ = false;
        waitForBlockInHand(guard);
    }

    void stop() {
        std::thread thread;
        {
            std::unique_lock guard(lock_);
            stopping_ = true;
            running_ = false;
            changed_.notify_all();
            waitForBlockInHand(guard);
            thread = std::move(thread_);
        }
        if (!thread.joinable()) {
            return;
        }
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();
        } else {
            thread.join();
        }
    }

    bool isStopped() const {
        std::lock_guard guard(lock_);
        return stopping_;
    }

    bool isRunning() const {
        std::lock_guard guard(lock_);
        return running_;
    }

private:
    /// A block being handled on the playback thread finishes before pause or stop return elsewhere.
    void waitForBlockInHand(std::unique_lock<std::mutex>& guard) {
        if (std::this_thread::get_id() != playbackThread_) {
            changed_.wait(guard, [this] { return !delivering_; });
        }
    }

    void play() {
        std::unique_lock guard(lock_);
        playbackThread_ = std::this_thread::get_id();
        Clock::time_point due = Clock::now();
        for (;;) {
            due += interval_;
            changed_.wait_until(guard, due, [this] { return stopping_; });
            if (!running_ && !stopping_) {
                changed_.wait(guard, [this] { return stopping_ || running_; });
                due = Clock::now();
            }
            if (stopping_) {
                return;
            }
            if (position_ >= samples_->size()) {
                played_ = true;
                running_ = false;
                guard.unlock();
                if (onPlayed_) {
                    onPlayed_();
                }
                return;
            }
            const std::size_t end = std::min(samples_->size(), position_ + blockFrames_);
            const std::vector<float> block(samples_->begin() + static_cast<std::ptrdiff_t>(position_),
                                           samples_->begin() + static_cast<std::ptrdiff_t>(end));
            position_ = end;
            delivering_ = true;
            guard.unlock();
            if (handler_) {
                handler_(block);
            }
            guard.lock();
            delivering_ = false;
            changed_.notify_all();
        }
    }

    const std::shared_ptr<const std::vector<float>> samples_;
    const std::size_t blockFrames_;
    const Clock::duration interval_;
    const BlockHandler handler_;
    const std::function<void()> onPlayed_;

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::thread thread_;
    std::thread::id playbackThread_;
    std::size_t position_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    bool delivering_ = false;
    bool played_ = false;
};

PlaybackCaptureStream::PlaybackCaptureStream(std::shared_ptr<const std::vector<float>> samples,
                                             uint32_t blockFrames, double blocksPerSecond, BlockHandler handler,
                                             std::function<void()> onPlayed)
    : samples_(std::move(samples)), blockFrames_(blockFrames),
      interval_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::duration<double>(1.0 / blocksPerSecond))),
      handler_(std::move(handler)), onPlayed_(std::move(onPlayed)) {}

PlaybackCaptureStream::~PlaybackCaptureStream() {
    if (player_) {
        player_->stop();
    }
}

void PlaybackCaptureStream::start() {
    if (player_ && !player_->isStopped()) {
        player_->resume();
        return;
    }
    player_ = std::make_shared<Player>(samples_, blockFrames_, interval_, handler_, onPlayed_);
    Player::begin(player_);
}

void PlaybackCaptureStream::pause() {
    if (player_) {
        player_->pause();
    }
}

void PlaybackCaptureStream::stop() {
    if (player_) {
        player_->stop();
    }
}

bool PlaybackCaptureStream::isRunning() const {
    return player_ && player_->isRunning();
}

std::string PlaybackCaptureStream::sourceName() const {
    return player_ ? "playback" : "";
}

} // namespace audio
