#pragma once
// Stand-ins for a recorder's input and file: an input the test feeds buffer by buffer, and a file
// that keeps what it was given, can fail chosen writes and can hold its close until the test lets it go.
// Both note what happens to them in one shared log, so a test can check the order.

#include "VelmoraCore/AudioCapture/Recording/CaptureFileWriter.h"
#include "VelmoraCore/AudioCapture/Recording/InputStream.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace recordingtest {

struct EventLog {
    std::mutex lock;
    std::vector<std::string> events;
    void add(const std::string& event);
    std::vector<std::string> all();
};

/// What the test saw of one file: its format, the frames written per channel, and its close.
struct FakeFileState {
    double sampleRate = 0;
    int channels = 0;
    std::vector<std::vector<float>> planes;
    int writeCalls = 0;
    /// 1-based numbers of the writes that throw.
    std::set<int> failingWrites;
    bool closeBlocks = false;
    bool closeReleased = false;
    bool closed = false;

    std::mutex lock;
    std::condition_variable changed;
    void releaseClose();
};

class FakeFiles {
public:
    explicit FakeFiles(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
    /// The factory to hand to a recorder; every file it makes is kept in files().
    velmora::CaptureFileWriterFactory factory();
    /// Settings for the next file made.
    std::shared_ptr<FakeFileState> next = std::make_shared<FakeFileState>();
    std::vector<std::shared_ptr<FakeFileState>> files;
    /// The factory throws this text instead of making a file.
    std::string failure;

private:
    std::shared_ptr<EventLog> log_;
};

class FakeInputs {
public:
    struct Opened {
        std::string uid;
        double sampleRate = 0;
        int channels = 0;
        velmora::InputStream::BufferHandler handler;
        velmora::InputStream::EndHandler onEnd;
        bool stopped = false;
    };

    explicit FakeInputs(std::shared_ptr<EventLog> log) : log_(std::move(log)) {}
    velmora::InputStreamOpener opener();
    /// Hands a buffer to the newest open input, as its serial thread would; false when it is stopped.
    bool deliver(const void* data, size_t bytes);
    bool deliver(const std::vector<float>& samples) {
        return deliver(samples.data(), samples.size() * sizeof(float));
    }

    std::vector<std::shared_ptr<Opened>> opened;
    /// The opener throws this error (a CAError) instead of opening.
    bool fails = false;

private:
    std::shared_ptr<EventLog> log_;
};

} // namespace recordingtest
