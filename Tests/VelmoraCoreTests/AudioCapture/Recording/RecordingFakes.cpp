#include "RecordingFakes.h"

#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <stdexcept>

namespace recordingtest {

void EventLog::add(const std::string& event) {
    std::lock_guard guard(lock);
    events.push_back(event);
}

std::vector<std::string> EventLog::all() {
    std::lock_guard guard(lock);
    return events;
}

void FakeFileState::releaseClose() {
    std::lock_guard guard(lock);
    closeReleased = true;
    changed.notify_all();
}

namespace {

class FakeFile : public velmora::CaptureFileWriter {
public:
    FakeFile(std::shared_ptr<FakeFileState> state, std::shared_ptr<EventLog> log)
        : state_(std::move(state)), log_(std::move(log)) {}

    void write(const float* const* channels, int64_t frames) override {
        std::lock_guard guard(state_->lock);
        if (state_->failingWrites.count(++state_->writeCalls) != 0) {
            throw std::runtime_error("disk full");
        }
        for (int c = 0; c < state_->channels; ++c) {
            state_->planes[size_t(c)].insert(state_->planes[size_t(c)].end(), channels[c], channels[c] + frames);
        }
    }

    void close() override {
        log_->add("close file");
        std::unique_lock guard(state_->lock);
        if (state_->closeBlocks) {
            state_->changed.wait(guard, [this] { return state_->closeReleased; });
        }
        state_->closed = true;
        state_->changed.notify_all();
    }

private:
    std::shared_ptr<FakeFileState> state_;
    std::shared_ptr<EventLog> log_;
};

class FakeInput : public velmora::InputStream {
public:
    FakeInput(std::shared_ptr<FakeInputs::Opened> opened, std::shared_ptr<EventLog> log)
        : opened_(std::move(opened)), log_(std::move(log)) {}
    void stop() override {
        if (!opened_->stopped) {
            log_->add("stop input");
        }
        opened_->stopped = true;
    }
    uint64_t overruns() const override { return 0; }

private:
    std::shared_ptr<FakeInputs::Opened> opened_;
    std::shared_ptr<EventLog> log_;
};

} // namespace

velmora::CaptureFileWriterFactory FakeFiles::factory() {
    return [this](const std::filesystem::path& path, double sampleRate, int channels) {
        if (!failure.empty()) {
            throw std::runtime_error(failure);
        }
        log_->add("open file " + path.filename().string());
        auto state = next;
        next = std::make_shared<FakeFileState>();
        state->sampleRate = sampleRate;
        state->channels = channels;
        state->planes.resize(size_t(channels));
        files.push_back(state);
        return std::make_unique<FakeFile>(state, log_);
    };
}

velmora::InputStreamOpener FakeInputs::opener() {
    return [this](const std::string& uid, double sampleRate, int channels,
                  velmora::InputStream::BufferHandler handler,
                  velmora::InputStream::EndHandler onEnd) -> std::unique_ptr<velmora::InputStream> {
        if (fails) {
            throw velmora::CAError::status("pa_stream_connect_record", 5);
        }
        log_->add("open input " + uid);
        auto entry = std::make_shared<Opened>(Opened{uid, sampleRate, channels, std::move(handler), std::move(onEnd), false});
        opened.push_back(entry);
        return std::make_unique<FakeInput>(entry, log_);
    };
}

bool FakeInputs::deliver(const void* data, size_t bytes) {
    if (opened.empty() || opened.back()->stopped) {
        return false;
    }
    opened.back()->handler(data, bytes);
    return true;
}

} // namespace recordingtest
