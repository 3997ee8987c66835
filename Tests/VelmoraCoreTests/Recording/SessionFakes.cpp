#include "SessionFakes.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "Support/Audio/TestAudioFile.h"
#include "VelmoraCore/AudioCapture/AudioConverter.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace sessiontest {

// MARK: Gate

void Gate::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void Gate::open() {
    std::lock_guard lock(mutex_);
    closed_ = false;
    changed_.notify_all();
}

bool Gate::pass(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    const bool opened = changed_.wait(lock, stop, [this] { return !closed_; });
    --waiting_;
    return opened;
}

int Gate::waiting() const {
    std::lock_guard lock(mutex_);
    return waiting_;
}

// MARK: Recorders

void FakeMicrophone::setPreferredDeviceUID(std::optional<std::string> uid) {
    std::lock_guard lock(state->mutex);
    state->preferredUID = std::move(uid);
}

void FakeMicrophone::start(const std::filesystem::path& file) {
    {
        std::lock_guard lock(state->mutex);
        ++state->starts;
        state->files.push_back(file);
        if (state->startError) {
            std::rethrow_exception(state->startError);
        }
    }
    // A second of a ramp: nothing like the system track, so the bleed filter keeps what it is given.
    audiotest::writeAudioFile(file, audiotest::FileKind::cafF32, 48000, audiotest::rampPlanes(1, 48000, 480));
}

void FakeMicrophone::stop() {
    std::lock_guard lock(state->mutex);
    ++state->stops;
}

float FakeMicrophone::level() const {
    std::lock_guard lock(state->mutex);
    return state->level;
}

std::int64_t FakeMicrophone::writeFailureCount() const {
    std::lock_guard lock(state->mutex);
    return state->failures;
}

std::exception_ptr FakeMicrophone::lastWriteError() const {
    std::lock_guard lock(state->mutex);
    return state->lastError;
}

bool FakeMicrophone::inputEnded() const {
    std::lock_guard lock(state->mutex);
    return state->inputEnded;
}

void FakeSystemAudio::start(const std::filesystem::path& file) {
    {
        std::lock_guard lock(state->mutex);
        ++state->starts;
    }
    state->startGate.pass();
    {
        std::lock_guard lock(state->mutex);
        if (state->startError) {
            std::rethrow_exception(state->startError);
        }
    }
    audiotest::writeAudioFile(file, audiotest::FileKind::m4aAac, 48000, audiotest::sinePlanes(2, 48000, 48000));
}

void FakeSystemAudio::stop() {
    state->stopGate.pass();
    std::lock_guard lock(state->mutex);
    ++state->stops;
}

// MARK: Transcription

namespace {

class ScriptedTranscriber final : public velmora::TrackTranscriber {
public:
    explicit ScriptedTranscriber(const FakeTranscription& owner) : owner_(owner) {}

    std::vector<velmora::TranscriptSegment> transcribe(const std::string& audioPath, float,
                                                       const SegmentCallback& onSegment,
                                                       std::stop_token stop) const override {
        orvane::throwIfCancelled(stop);
        if (owner_.failTranscriptions) {
            throw std::runtime_error("the engine gave up on " + std::filesystem::path(audioPath).filename().string());
        }
        const bool isMic = std::filesystem::path(audioPath).filename() == "mic.m4a";
        const auto& segments = isMic ? owner_.me : owner_.other;
        for (const auto& segment : segments) {
            onSegment(segment);
        }
        return segments;
    }

private:
    const FakeTranscription& owner_;
};

} // namespace

bool FakeTranscription::isLoaded(const std::string& modelName) const {
    std::lock_guard lock(mutex);
    return loadedName == modelName;
}

std::shared_ptr<velmora::TrackTranscriber> FakeTranscription::transcriber(const std::string& modelName,
                                                                          std::stop_token stop) {
    orvane::throwIfCancelled(stop);
    ++loads;
    if (failLoads) {
        throw std::runtime_error("model files missing for " + modelName);
    }
    if (keepsLoads) {
        std::lock_guard lock(mutex);
        loadedName = modelName;
    }
    return std::make_shared<ScriptedTranscriber>(*this);
}

// MARK: World

FakeWorld::FakeWorld(std::chrono::system_clock::time_point start) : clock(std::make_shared<FakeClock>(start)) {}

velmora::SessionCollaborators FakeWorld::collaborators() {
    velmora::SessionCollaborators c;
    c.now = [clock = clock] { return clock->now(); };
    c.availableBytes = [this](const std::filesystem::path&) -> std::optional<std::int64_t> {
        if (spaceUnknown) {
            return std::nullopt;
        }
        return availableBytes.load();
    };
    c.deviceInfo = [](const std::optional<std::string>& uid) {
        velmora::DeviceInfo info;
        info.inputName = uid.value_or("既定のマイク");
        info.outputName = "スピーカー";
        return info;
    };
    c.makeMicrophone = [mic = mic] { return std::make_unique<FakeMicrophone>(mic); };
    c.makeSystemAudio = [system = system] {
        {
            std::lock_guard lock(system->mutex);
            ++system->made;
        }
        return std::make_unique<FakeSystemAudio>(system);
    };
    const auto record = [converter = converter](std::string call) {
        std::lock_guard lock(converter->mutex);
        converter->calls.push_back(std::move(call));
    };
    c.convertToM4A = [converter = converter, record](const std::filesystem::path& source,
                                                     const std::filesystem::path& destination, std::stop_token stop) {
        const std::string name = source.parent_path().filename().string() + "/" + source.filename().string();
        record("convert " + name);
        if (!converter->gate.pass(stop)) {
            throw orvane::CancellationError();
        }
        if (converter->failOn == name) {
            throw std::runtime_error("変換できません: " + source.filename().string());
        }
        velmora::AudioConverter::convertToM4A(source, destination, stop);
    };
    c.mix = [record](const std::filesystem::path& trackA, const std::filesystem::path& trackB,
                     const std::filesystem::path& destination, std::stop_token stop) {
        record("mix " + destination.parent_path().filename().string());
        velmora::AudioConverter::mix(trackA, trackB, destination, stop);
    };
    c.transcription = transcription;
    return c;
}

bool runUntil(velmora::PlainMainLoop& loop, const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        if (loop.runUntilIdle() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

std::vector<std::string> folderContents(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace sessiontest
