#include "VelmoraCore/AudioCapture/TwoTrack/StreamPairing.h"

#include <algorithm>
#include <stdexcept>

namespace velmora {

StreamPairing::StreamPairing(std::vector<int> streamChannels, int64_t maxLagFrames, Handler handler)
    : maxLagFrames_(std::max<int64_t>(0, maxLagFrames)), handler_(std::move(handler)),
      silenceFrames_(new std::atomic<uint64_t>[streamChannels.size()]) {
    for (size_t i = 0; i < streamChannels.size(); ++i) {
        if (streamChannels[i] < 1) {
            throw std::invalid_argument("every paired stream needs at least one channel");
        }
        queues_.push_back(Queue{streamChannels[i], {}});
        silenceFrames_[i] = 0;
    }
    buffers_.resize(queues_.size());
}

void StreamPairing::push(size_t stream, const void* data, size_t bytes) {
    if (stream >= queues_.size()) {
        return;
    }
    Queue& queue = queues_[stream];
    const size_t frames = bytes / sizeof(float) / size_t(queue.channels);
    if (frames == 0) {
        return;
    }
    if (data == nullptr) {
        appendSilence(stream, int64_t(frames));
    } else {
        const auto* samples = static_cast<const float*>(data);
        queue.samples.insert(queue.samples.end(), samples, samples + frames * size_t(queue.channels));
    }
    int64_t ahead = 0;
    for (const auto& other : queues_) {
        ahead = std::max(ahead, other.frames());
    }
    for (size_t i = 0; i < queues_.size(); ++i) {
        const int64_t behind = ahead - queues_[i].frames();
        if (behind > maxLagFrames_) {
            appendSilence(i, behind);
        }
    }
    handOn();
}

void StreamPairing::reset() {
    for (auto& queue : queues_) {
        queue.samples.clear();
    }
}

uint64_t StreamPairing::silenceFrames(size_t stream) const {
    return stream < queues_.size() ? silenceFrames_[stream].load() : 0;
}

void StreamPairing::appendSilence(size_t stream, int64_t frames) {
    Queue& queue = queues_[stream];
    queue.samples.insert(queue.samples.end(), size_t(frames) * size_t(queue.channels), 0.0f);
    silenceFrames_[stream] += uint64_t(frames);
}

void StreamPairing::handOn() {
    if (queues_.empty()) {
        return;
    }
    int64_t frames = queues_.front().frames();
    for (const auto& queue : queues_) {
        frames = std::min(frames, queue.frames());
    }
    if (frames < 1) {
        return;
    }
    for (size_t i = 0; i < queues_.size(); ++i) {
        const Queue& queue = queues_[i];
        buffers_[i] = InputBuffer{queue.channels, size_t(frames) * size_t(queue.channels) * sizeof(float),
                                  queue.samples.data()};
    }
    if (handler_) {
        handler_(InputBufferList(buffers_));
    }
    for (auto& queue : queues_) {
        // The handler may have reset the queues.
        const size_t handed = size_t(frames) * size_t(queue.channels);
        queue.samples.erase(queue.samples.begin(),
                            queue.samples.begin() + std::min(handed, queue.samples.size()));
    }
}

} // namespace velmora
