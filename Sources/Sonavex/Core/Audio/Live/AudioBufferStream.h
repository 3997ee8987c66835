#pragma once
// Captured buffers handed from the capture thread to one reader: the reader pulls them with next(); the
// writing side (the Continuation) yields buffers and finishes the stream, with or without an error. The
// stream ends once: when the writer finishes it, when the reader drops it, or when the reader's wait is
// stopped. At that moment the termination handler runs, once, on the thread that ended it.

#include "OrvaneCore/Concurrency/Channel.h"

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <utility>
#include <variant>
#include <vector>

namespace sonavex {

class AudioBufferStream {
    struct State;

public:
    using Buffer = std::vector<float>;

    /// The writing side; copies share the one stream. Safe from any thread.
    class Continuation {
    public:
        /// Queues a buffer without bound; false (and the buffer dropped) once the stream has ended.
        bool yield(Buffer buffer) const;
        /// Ends the stream: the reader gets what is queued, then the end.
        void finish() const;
        /// Ends the stream with an error, which the reader's next() throws after what is queued.
        void finish(std::exception_ptr error) const;
        /// Runs once when the stream ends; right away when it already has.
        void setOnTermination(std::function<void()> handler) const;

    private:
        friend class AudioBufferStream;
        explicit Continuation(std::shared_ptr<State> state) : state_(std::move(state)) {}
        std::shared_ptr<State> state_;
    };

    /// A new stream and its writing side.
    static std::pair<AudioBufferStream, Continuation> make();

    AudioBufferStream(AudioBufferStream&& other) noexcept = default;
    AudioBufferStream& operator=(AudioBufferStream&& other) noexcept;
    AudioBufferStream(const AudioBufferStream&) = delete;
    AudioBufferStream& operator=(const AudioBufferStream&) = delete;
    /// Dropping the reader ends the stream.
    ~AudioBufferStream();

    /// The next buffer, blocking until there is one; nothing once the stream has ended and is drained.
    /// Rethrows the error the stream was finished with. A stop of `token` while waiting ends the stream
    /// and throws orvane::CancellationError.
    std::optional<Buffer> next(std::stop_token token = {});

private:
    explicit AudioBufferStream(std::shared_ptr<State> state) : state_(std::move(state)) {}
    static void terminate(State& state);

    std::shared_ptr<State> state_;
};

} // namespace sonavex
