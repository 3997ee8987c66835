#pragma once
// One playback of samples as a capture: a thread of its own hands the samples to the handler a block at
// a time, paced by the block length and the speed; the last block may be shorter. start() after stop()
// plays from the beginning again; start() after pause() goes on where it stopped.

#include "Platform/Audio/Capture/CaptureStream.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace audio {

class PlaybackCaptureStream : public CaptureStream {
public:
    /// `onPlayed` runs on the playback thread after the last block was handled.
    PlaybackCaptureStream(std::shared_ptr<const std::vector<float>> samples, uint32_t blockFrames,
                          double blocksPerSecond, BlockHandler handler, std::function<void()> onPlayed);
    ~PlaybackCaptureStream() override;
    PlaybackCaptureStream(const PlaybackCaptureStream&) = delete;
    PlaybackCaptureStream& operator=(const PlaybackCaptureStream&) = delete;

    void start() override;
    void pause() override;
    void stop() override;
    bool isRunning() const override;
    std::string sourceName() const override;
    std::optional<std::string> failure() const override { return std::nullopt; }

private:
    class Player;

    const std::shared_ptr<const std::vector<float>> samples_;
    const uint32_t blockFrames_;
    const std::chrono::steady_clock::duration interval_;
    const BlockHandler handler_;
    const std::function<void()> onPlayed_;
    std::shared_ptr<Player> player_;
};

} // namespace audio
