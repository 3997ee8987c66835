#include "VelmoraCore/AudioCapture/Recording/MicRecorder.h"

#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace velmora {

namespace {

constexpr double fallbackSampleRate = 48000.0;

AudioDeviceID chooseDevice(const std::optional<std::string>& preferredUID, AudioSystem& system) {
    if (preferredUID) {
        // A device the user picked is recorded as it is, Bluetooth or not.
        if (auto device = deviceWithUID(*preferredUID, system)) {
            return *device;
        }
    }
    AudioDeviceID device = 0;
    try {
        device = defaultInputDevice(system);
    } catch (const std::exception&) {
        throw CAError::message("既定の入力デバイスが見つかりません");
    }
    uint32_t transport = 0;
    try {
        transport = deviceTransportType(device, system);
    } catch (const std::exception&) {
        return device;
    }
    // A Bluetooth headset's microphone switches the headset to its low-quality call profile.
    if (transport == TransportType::bluetooth || transport == TransportType::bluetoothLE) {
        if (auto builtIn = builtInInputDevice(system)) {
            return *builtIn;
        }
    }
    return device;
}

double sampleRateOf(AudioDeviceID device, AudioSystem& system) {
    try {
        double rate = deviceNominalSampleRate(device, system);
        // A rate no file can carry counts as unreadable.
        return std::isfinite(rate) && rate > 0 ? rate : fallbackSampleRate;
    } catch (const std::exception&) {
        return fallbackSampleRate;
    }
}

int channelsOf(AudioDeviceID device, AudioSystem& system) {
    try {
        return std::max(1, inputChannelCount(device, system));
    } catch (const std::exception&) {
        return 1;
    }
}

} // namespace

MicRecorder::MicRecorder(AudioSystem& system, InputStreamOpener openInput, CaptureFileWriterFactory makeFile)
    : system_(system), openInput_(std::move(openInput)), makeFile_(std::move(makeFile)) {}

MicRecorder::~MicRecorder() {
    stop();
}

void MicRecorder::start(const std::filesystem::path& path) {
    {
        std::lock_guard guard(lock_);
        writeFailureCount_ = 0;
        lastWriteError_ = nullptr;
        inputEnded_ = false;
    }
    // A second start without a stop must not leave the first capture writing into a replaced file.
    if (input_ != nullptr || file_ != nullptr) {
        stop();
    }
    overrunsBeforeStop_ = 0;
    deviceID_ = chooseDevice(preferredDeviceUID, system_);
    const double rate = sampleRateOf(deviceID_, system_);
    const int channels = channelsOf(deviceID_, system_);
    // The server knows a source only by its name: without it there is nothing to open (CAError).
    const std::string uid = velmora::deviceUID(deviceID_, system_);
    {
        std::lock_guard guard(lock_);
        deviceUID_ = uid;
        sampleRate_ = rate;
        channels_ = channels;
    }
    framesWritten_ = 0;
    file_ = makeFile_(path, rate, channels);
    try {
        input_ = openInput_(
            uid, rate, channels, [this, channels](const void* data, size_t bytes) { handleInput(data, bytes, channels); },
            [this](std::exception_ptr error) { handleEnd(std::move(error)); });
    } catch (...) {
        discardFile(path);
        throw;
    }
}

// A capture that never started recorded nothing: the file it was to fill goes, rather than stay behind
// as an empty recording.
void MicRecorder::discardFile(const std::filesystem::path& path) {
    try {
        file_->close();
    } catch (const std::exception&) {
        // It goes anyway.
    }
    file_.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

void MicRecorder::stop() {
    if (input_ != nullptr) {
        overrunsBeforeStop_ = input_->overruns();
        input_->stop();
        input_.reset();
    }
    // No buffer is handled any more, so the file can go on this thread.
    if (file_ != nullptr) {
        try {
            file_->close();
        } catch (const std::exception&) {
            // The frames are on disk; a file whose length could not be patched still reads to its end.
        }
        file_.reset();
    }
    std::lock_guard guard(lock_);
    currentLevel_ = 0;
}

void MicRecorder::handleInput(const void* data, size_t bytes, int channels) {
    if (file_ == nullptr || data == nullptr) {
        return;
    }
    const size_t frames = bytes / sizeof(float) / size_t(channels);
    if (frames < 1) {
        return;
    }
    const auto* samples = static_cast<const float*>(data);
    const size_t count = frames * size_t(channels);
    float peak = 0;
    for (size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    {
        std::lock_guard guard(lock_);
        if (!firstBufferWallClock_) {
            firstBufferWallClock_ = std::chrono::system_clock::now();
        }
        currentLevel_ = peak;
    }
    try {
        planes_.resize(size_t(channels));
        planePointers_.resize(size_t(channels));
        for (int c = 0; c < channels; ++c) {
            planes_[size_t(c)].resize(frames);
            planePointers_[size_t(c)] = planes_[size_t(c)].data();
        }
    } catch (const std::bad_alloc&) {
        return; // no room for the copy: these samples are dropped, the level already counts them
    }
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            planes_[size_t(c)][f] = samples[f * size_t(channels) + size_t(c)];
        }
    }
    try {
        file_->write(planePointers_.data(), int64_t(frames));
        framesWritten_ += int64_t(frames);
    } catch (...) {
        std::lock_guard guard(lock_);
        ++writeFailureCount_;
        lastWriteError_ = std::current_exception();
    }
}

// The recording has lost its input: what it holds stays, and the session learns of the loss where it
// already looks for lost samples.
void MicRecorder::handleEnd(std::exception_ptr error) {
    std::lock_guard guard(lock_);
    ++writeFailureCount_;
    lastWriteError_ = std::move(error);
    inputEnded_ = true;
    currentLevel_ = 0;
}

bool MicRecorder::inputEnded() const {
    std::lock_guard guard(lock_);
    return inputEnded_;
}

float MicRecorder::level() const {
    std::lock_guard guard(lock_);
    return currentLevel_;
}

int64_t MicRecorder::writeFailureCount() const {
    std::lock_guard guard(lock_);
    return writeFailureCount_;
}

std::exception_ptr MicRecorder::lastWriteError() const {
    std::lock_guard guard(lock_);
    return lastWriteError_;
}

std::optional<std::chrono::system_clock::time_point> MicRecorder::firstBufferWallClock() const {
    std::lock_guard guard(lock_);
    return firstBufferWallClock_;
}

std::string MicRecorder::deviceUID() const {
    std::lock_guard guard(lock_);
    return deviceUID_;
}

double MicRecorder::sampleRate() const {
    std::lock_guard guard(lock_);
    return sampleRate_;
}

int MicRecorder::channelCount() const {
    std::lock_guard guard(lock_);
    return channels_;
}

int64_t MicRecorder::framesWritten() const {
    return framesWritten_;
}

uint64_t MicRecorder::overruns() const {
    return input_ != nullptr ? input_->overruns() : overrunsBeforeStop_.load();
}

} // namespace velmora
