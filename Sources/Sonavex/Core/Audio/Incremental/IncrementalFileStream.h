#pragma once
// The speech chunks of one audio file as the file is read: a producer thread reads the file piece by
// piece as 16 kHz mono, cuts what it holds at silences and queues the chunks, each with its absolute
// offset in the file. The consumer pulls them with next(). The producer hands out a chunk only when a
// slot is free (see IncrementalLoadController), so chunks not yet signalled complete bound the memory.
// Destroying the stream stops the producer and waits for it: nothing keeps running once it is gone.

#include "OrvaneCore/Concurrency/Channel.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Core/Audio/Incremental/IncrementalFileChunk.h"
#include "Sonavex/Core/Audio/Incremental/IncrementalLoadController.h"
#include "Sonavex/Core/Audio/VoiceActivity/VoiceActivityDetector.h"

#include <exception>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace sonavex {

class IncrementalFileStream {
public:
    /// What the producer works from; checked by AudioProcessor::loadFileIncrementally.
    struct Request {
        std::string path;
        AudioInputOptions::ChannelMode channelMode;
        double chunkDurationSeconds = 0;
        int64_t maxBufferedChunks = 1;
        int64_t maxChunkLength = 0;
        std::shared_ptr<VoiceActivityDetector> vad;
    };

    /// Starts the producer at once.
    explicit IncrementalFileStream(Request request);
    ~IncrementalFileStream();
    IncrementalFileStream(IncrementalFileStream&&) noexcept = default;
    IncrementalFileStream& operator=(IncrementalFileStream&&) = delete;
    IncrementalFileStream(const IncrementalFileStream&) = delete;
    IncrementalFileStream& operator=(const IncrementalFileStream&) = delete;

    /// The next chunk, blocking until there is one; nothing once the file is done (or the producer was
    /// stopped). A failure to read or cut the file is thrown once, after the chunks handed out before it;
    /// then the stream is over. Throws orvane::CancellationError when `token` is stopped while waiting.
    std::optional<IncrementalFileChunk> next(std::stop_token token = {});

    /// Chunks handed out and not yet signalled complete.
    int64_t activeChunks() const;
    /// Whether the producer is waiting for a slot.
    bool isProducerWaiting() const;

private:
    struct Item {
        std::optional<IncrementalFileChunk> chunk;
        std::exception_ptr error;
    };

    static void produce(std::stop_token stop, const Request& request, orvane::Channel<Item>& channel,
                        const std::shared_ptr<IncrementalLoadController>& controller);

    std::shared_ptr<orvane::Channel<Item>> channel_;
    std::shared_ptr<IncrementalLoadController> controller_;
    bool finished_ = false;
    std::jthread producer_;
};

} // namespace sonavex
