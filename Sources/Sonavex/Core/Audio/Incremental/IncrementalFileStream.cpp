#include "Sonavex/Core/Audio/Incremental/IncrementalFileStream.h"

#include "OrvaneCore/Errors/ErrorDescription.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/Chunking/VADAudioChunker.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace sonavex {

namespace {

/// Samples the chunker leaves at the end of what it is given: not worth a chunk of their own.
constexpr int64_t windowPadding = 16000;
constexpr int readChunkSize = 1024;

} // namespace

IncrementalFileStream::IncrementalFileStream(Request request)
    : channel_(std::make_shared<orvane::Channel<Item>>()),
      controller_(std::make_shared<IncrementalLoadController>(request.maxBufferedChunks)) {
    producer_ = std::jthread(
        [request = std::move(request), channel = channel_, controller = controller_](std::stop_token stop) {
            produce(stop, request, *channel, controller);
            channel->close();
        });
}

IncrementalFileStream::~IncrementalFileStream() {
    if (!producer_.joinable()) {
        return; // moved from
    }
    // Stop first, then wake a producer waiting for a slot, so that it sees the stop and ends.
    producer_.request_stop();
    controller_->resumeWaitingProducers();
    producer_.join();
}

std::optional<IncrementalFileChunk> IncrementalFileStream::next(std::stop_token token) {
    if (finished_) {
        return std::nullopt;
    }
    auto item = channel_->pop(token);
    if (!item) {
        finished_ = true;
        return std::nullopt;
    }
    if (item->error) {
        finished_ = true;
        std::rethrow_exception(item->error);
    }
    return std::move(item->chunk);
}

int64_t IncrementalFileStream::activeChunks() const {
    return controller_->activeChunks();
}

bool IncrementalFileStream::isProducerWaiting() const {
    return controller_->waitingProducerCount() > 0;
}

void IncrementalFileStream::produce(std::stop_token stop, const Request& request,
                                    orvane::Channel<Item>& channel,
                                    const std::shared_ptr<IncrementalLoadController>& controller) {
    try {
        audio::AudioFileReader file(request.path);
        const double duration = static_cast<double>(file.length()) / file.fileFormat().sampleRate;
        VADAudioChunker chunker(windowPadding, request.vad);
        const auto maxChunkLength = static_cast<std::size_t>(request.maxChunkLength);
        // The samples read and not yet handed out; the first of them is sample pendingOffset of the file.
        std::vector<float> pending;
        int64_t pendingOffset = 0;
        double readTime = 0;
        if (stop.stop_requested()) {
            return;
        }
        while (true) {
            while (pending.size() <= maxChunkLength && readTime < duration) {
                const double end = std::min(duration, readTime + request.chunkDurationSeconds);
                {
                    // The piece's buffer goes as soon as its samples are in pending.
                    auto piece =
                        AudioProcessor::loadAudio(file, request.channelMode, readTime, end, std::nullopt);
                    auto samples = AudioProcessor::convertBufferToArray(*piece, readChunkSize);
                    pending.insert(pending.end(), samples.begin(), samples.end());
                }
                readTime = end;
            }
            if (pending.empty()) {
                return;
            }
            auto chunks = chunker.chunkAll(pending, request.maxChunkLength, std::nullopt);
            const bool exhausted = !(readTime < duration);
            // Before the end of the file, a chunk that may still grow with the next piece waits for it.
            std::size_t chosen = chunks.size();
            if (!exhausted) {
                chosen = 0;
                while (chosen < chunks.size() &&
                       static_cast<std::size_t>(chunks[chosen].seekOffsetIndex) + maxChunkLength <=
                           pending.size()) {
                    ++chosen;
                }
            }
            if (chosen == 0) {
                if (exhausted || stop.stop_requested()) {
                    return;
                }
                continue;
            }
            int64_t consumedEnd = 0;
            for (std::size_t i = 0; i < chosen; ++i) {
                controller->requestChunkSlot();
                if (stop.stop_requested()) {
                    return;
                }
                auto& chunk = chunks[i];
                consumedEnd = chunk.seekOffsetIndex + static_cast<int64_t>(chunk.audioSamples.size());
                channel.push(Item{IncrementalFileChunk{AudioChunk{pendingOffset + chunk.seekOffsetIndex,
                                                                  std::move(chunk.audioSamples)},
                                                       [controller] { controller->releaseChunkSlot(); }},
                                  nullptr});
            }
            if (exhausted) {
                return;
            }
            pendingOffset += consumedEnd;
            pending.erase(pending.begin(), pending.begin() + consumedEnd);
            if (stop.stop_requested()) {
                return;
            }
        }
    } catch (...) {
        Logging::error("Error loading audio file incrementally: " + orvane::describeCurrentException());
        channel.push(Item{std::nullopt, std::current_exception()});
    }
}

} // namespace sonavex
