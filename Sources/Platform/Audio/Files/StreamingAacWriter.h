#pragma once
// Records a live stream into a fragmented MPEG-4 AAC file without encoding on the caller's thread:
// write() copies the samples into a queue and returns; a thread of the writer's own encodes and writes
// them. A fragment reaches the file about every second, so a process killed mid-recording leaves a
// file that plays up to its last fragment.
//
// write() is meant for one producer thread (the capture thread); close() from any thread once that
// producer has stopped.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio {

class AacFileWriter;

class StreamingAacWriter {
public:
    /// Creates the file and starts the encoding thread. Throws EncoderSetupError or AudioFileError
    /// (see AacFileWriter) on the caller's thread.
    StreamingAacWriter(const std::filesystem::path& path, int sampleRate, int channels);
    /// Closes the file as close() does, swallowing a failure.
    ~StreamingAacWriter();
    StreamingAacWriter(const StreamingAacWriter&) = delete;
    StreamingAacWriter& operator=(const StreamingAacWriter&) = delete;

    /// Queues `frames` frames (channels[c] holds channel c's samples) and returns without waiting for
    /// the encoder. Once encoding has failed, rethrows that failure instead (the samples are dropped).
    void write(const float* const* channels, int64_t frames);

    /// Waits until every queued frame is encoded, finishes the file and stops the thread. Throws the
    /// first failure of the encoding thread. Idempotent.
    void close();

    int sampleRate() const { return sampleRate_; }
    int channelCount() const { return channels_; }
    /// Frames accepted by write() so far.
    int64_t framesQueued() const;

private:
    void run();

    int sampleRate_;
    int channels_;
    std::unique_ptr<AacFileWriter> file_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // Each block holds its channels one after another (planar); spare blocks are reused so a steady
    // stream stops allocating.
    std::deque<std::vector<float>> queue_;
    std::vector<std::vector<float>> spare_;
    bool closing_ = false;
    bool closed_ = false;
    std::exception_ptr failure_;
    int64_t framesQueued_ = 0;
    std::thread thread_;
};

} // namespace audio
