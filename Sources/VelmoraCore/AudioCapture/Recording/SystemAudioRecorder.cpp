#include "VelmoraCore/AudioCapture/Recording/SystemAudioRecorder.h"

#include "Platform/Desktop/Power/ScreenSaverInhibitor.h"
#include "Sonavex/Utilities/Logging/AbsoluteTime.h"
#include "VelmoraCore/AudioCapture/Recording/SinkMonitorCapture.h"
#include "VelmoraCore/ErrorText.h"

#include <cstdio>
#include <system_error>
#include <thread>

namespace velmora {

void SystemAudioRecorder::Shared::setError(std::exception_ptr error) {
    std::lock_guard guard(lock);
    lastError = std::move(error);
}

SystemAudioRecorder::SystemAudioRecorder(CaptureFileWriterFactory makeFile, std::chrono::milliseconds finishTimeout)
    : makeFile_(std::move(makeFile)), finishTimeout_(finishTimeout), shared_(std::make_shared<Shared>()),
      inhibitor_(std::make_unique<desktop::ScreenSaverInhibitor>()) {}

SystemAudioRecorder::~SystemAudioRecorder() {
    stop();
}

void SystemAudioRecorder::start(const std::filesystem::path& path) {
    // Every recording starts with no start time, no error and a finish still to come.
    shared_ = std::make_shared<Shared>();
    try {
        capture_ = std::make_unique<SinkMonitorCapture>();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        file_ = makeFile_(path, sampleRate, channels);

        // The sum goes to the file on the loop thread; a file that fails stops taking it, and its
        // failure ends the finish wait at once.
        std::shared_ptr<Shared> shared = shared_;
        std::shared_ptr<CaptureFileWriter> file = file_;
        auto output = [shared, file](const float* const* samples, int64_t frames) {
            if (shared->outputFailed) {
                return;
            }
            try {
                file->write(samples, frames);
            } catch (...) {
                shared->outputFailed = true;
                shared->setError(std::current_exception());
                shared->finish.resumeIfNeeded();
                return;
            }
            std::lock_guard guard(shared->lock);
            shared->framesWritten += frames;
            if (!shared->didStartWallClock) {
                shared->didStartWallClock = std::chrono::system_clock::now();
            }
        };
        auto onFailure = [shared](std::exception_ptr error) {
            const std::string line = "★★★ SCStream didStopWithError: " + errorDescription(error) + " — " +
                                     sonavex::currentDateDescription() + "\n";
            std::fputs(line.c_str(), stdout);
            std::fflush(stdout);
            std::lock_guard guard(shared->lock);
            shared->lastError = error;
            shared->captureEnded = true;
        };
        capture_->start(output, onFailure);
    } catch (...) {
        inhibitor_->release();
        throw;
    }
    inhibitor_->inhibit(inhibitApplication, inhibitReason);
}

void SystemAudioRecorder::stop() {
    std::unique_ptr<SinkMonitorCapture> capture = std::move(capture_);
    std::shared_ptr<CaptureFileWriter> file = std::move(file_);
    if (capture != nullptr && file != nullptr) {
        capture->detachOutput();
        // The file is finished on a thread of its own, so a stuck encoder costs at most the time-out;
        // the thread keeps what it needs alive if it outlasts this call.
        std::thread([shared = shared_, file] {
            try {
                file->close();
            } catch (...) {
                shared->setError(std::current_exception());
            }
            shared->finish.resumeIfNeeded();
        }).detach();
        shared_->finish.waitForFinish(finishTimeout_);
    }
    if (capture != nullptr) {
        overrunsAtStop_ = capture->overruns();
        capture->stop();
    }
    inhibitor_->release();
}

std::optional<std::chrono::system_clock::time_point> SystemAudioRecorder::didStartWallClock() const {
    std::lock_guard guard(shared_->lock);
    return shared_->didStartWallClock;
}

std::exception_ptr SystemAudioRecorder::lastError() const {
    std::lock_guard guard(shared_->lock);
    return shared_->lastError;
}

bool SystemAudioRecorder::captureEnded() const {
    std::lock_guard guard(shared_->lock);
    return shared_->captureEnded;
}

int64_t SystemAudioRecorder::framesWritten() const {
    std::lock_guard guard(shared_->lock);
    return shared_->framesWritten;
}

std::vector<std::string> SystemAudioRecorder::capturedSinks() const {
    return capture_ != nullptr ? capture_->capturedSinks() : std::vector<std::string>{};
}

uint64_t SystemAudioRecorder::overruns() const {
    return capture_ != nullptr ? capture_->overruns() : overrunsAtStop_;
}

} // namespace velmora
