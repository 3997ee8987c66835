#include "VelmoraCore/Recording/RecordingSession.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"
#include "VelmoraCore/ErrorText.h"
#include "VelmoraCore/Recording/SessionFolderName.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Transcription/MicBleedFilter.h"
#include "VelmoraCore/Transcripts/TranscriptWriter.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

namespace velmora {

namespace {

constexpr auto meterInterval = std::chrono::milliseconds(100);
constexpr float bleedCorrelationThreshold = 0.5f;
constexpr float bleedMaxLagSeconds = 0.3f;

const std::string lowSpaceMessage = "空き容量が不足しています（10GB未満）。録音を開始できません。";
const std::string startFailedPrefix = "録音を開始できませんでした: ";
const std::string jobFailedPrefix = "文字起こしに失敗しました: ";

std::string writeFailureMessage(std::int64_t count, const std::exception_ptr& lastError) {
    return "マイクの書き込みに" + std::to_string(count) +
           "回失敗しました。マイクのフォーマットが録音中に変化した可能性があります（Bluetoothデバイスで起きやすい）。詳細: " +
           (lastError ? errorDescription(lastError) : std::string("不明"));
}

/// Removes a file; a failure leaves it where it is.
void removeQuietly(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

std::string transcriptPreview(const std::vector<MergedSegment>& merged) {
    std::string text;
    for (const auto& segment : merged) {
        if (!text.empty()) {
            text += "\n";
        }
        text += rawValue(segment.speaker);
        text += ": ";
        text += segment.text;
    }
    return text;
}

} // namespace

/// One post-processing job: its cancellation, its thread and the moment it has ended, which the next job
/// waits for.
struct RecordingSession::Job {
    std::stop_source stop;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended = false;

    ~Job() {
        if (thread.joinable()) {
            thread.join();
        }
    }
    void markEnded() {
        std::lock_guard lock(mutex);
        ended = true;
        endedChanged.notify_all();
    }
    void waitUntilEnded() {
        std::unique_lock lock(mutex);
        endedChanged.wait(lock, [this] { return ended; });
    }
    bool hasEnded() {
        std::lock_guard lock(mutex);
        return ended;
    }
};

/// What the recorder thread found when it started the recorders.
struct RecordingSession::StartOutcome {
    std::exception_ptr error;
    std::unique_ptr<RecordingSystemAudio> systemRecorder;
};

RecordingSession::RecordingSession(AppSettings& settings, MainThreadDispatcher& dispatcher,
                                   SessionCollaborators collaborators)
    : settings_(settings),
      dispatcher_(dispatcher),
      collaborators_(std::move(collaborators)),
      currentDeviceInfo_(collaborators_.deviceInfo(std::nullopt)),
      micRecorder_(collaborators_.makeMicrophone()) {}

RecordingSession::~RecordingSession() {
    alive_.reset();
    for (const auto& job : jobThreads_) {
        job->stop.request_stop();
    }
    modelPreloadThread_.request_stop();
    if (recorderThread_.joinable()) {
        recorderThread_.join();
    }
    if (modelPreloadThread_.joinable()) {
        modelPreloadThread_.join();
    }
    // In queue order: a job may still be waiting for the one before it.
    for (const auto& job : jobThreads_) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    meterTimer_.reset();
}

void RecordingSession::onMain(std::function<void()> task) {
    dispatcher_.post([alive = std::weak_ptr<bool>(alive_), task = std::move(task)] {
        if (alive.lock()) {
            task();
        }
    });
}

template <class T> T RecordingSession::readOnMain(std::function<T()> read, std::stop_token stop) {
    struct Answer {
        std::mutex mutex;
        std::condition_variable_any arrived;
        std::optional<T> value;
    };
    auto answer = std::make_shared<Answer>();
    onMain([answer, read = std::move(read)] {
        T value = read();
        std::lock_guard lock(answer->mutex);
        answer->value = std::move(value);
        answer->arrived.notify_all();
    });
    std::unique_lock lock(answer->mutex);
    answer->arrived.wait(lock, stop, [&] { return answer->value.has_value(); });
    if (!answer->value) {
        throw orvane::CancellationError();
    }
    return std::move(*answer->value);
}

// MARK: Devices

void RecordingSession::refreshDeviceInfo() {
    currentDeviceInfo_.set(collaborators_.deviceInfo(settings_.preferredInputDeviceUID().value()));
}

// MARK: Start

void RecordingSession::start() {
    if (phase_.value().isRecording() || isChangingRecorders()) {
        return;
    }
    transcriptionError_.set(std::nullopt);
    elapsedSeconds_.set(0);
    preloadModel();
    beginRecording();
}

void RecordingSession::preloadModel() {
    if (modelPreloadRunning_) {
        return;
    }
    modelPreloadRunning_ = true;
    const std::string modelName = settings_.modelName().value();
    if (modelPreloadThread_.joinable()) {
        modelPreloadThread_.join(); // the last preload has ended: it told us so
    }
    modelPreloadThread_ = std::jthread([this, modelName](std::stop_token stop) {
        try {
            collaborators_.transcription->transcriber(modelName, stop);
        } catch (...) {
            // The job's own model step reports a load that fails.
        }
        onMain([this] { modelPreloadRunning_ = false; });
    });
}

void RecordingSession::beginRecording() {
    std::filesystem::path folder;
    try {
        settings_.ensureSaveDirectoryExists();
        const auto available = collaborators_.availableBytes(settings_.saveDirectory());
        if (available && *available < DiskSpace::warningThresholdBytes) {
            phase_.set(Phase::failed(lowSpaceMessage));
            return;
        }
        folder = makeSessionFolder(settings_.saveDirectory(), collaborators_.now());
        sessionFolder_ = folder;
    } catch (...) {
        micRecorder_->stop();
        phase_.set(Phase::failed(startFailedPrefix + errorDescription(std::current_exception())));
        return;
    }

    startInProgress_ = true;
    runOnRecorderThread([this, folder, uid = settings_.preferredInputDeviceUID().value()] {
        StartOutcome outcome;
        try {
            micRecorder_->setPreferredDeviceUID(uid);
            micRecorder_->start(folder / "mic.caf");
            // The microphone runs before the system audio is asked for.
            outcome.systemRecorder = collaborators_.makeSystemAudio();
            outcome.systemRecorder->start(folder / "system_capture.mp4");
        } catch (...) {
            outcome.error = std::current_exception();
            micRecorder_->stop();
        }
        auto shared = std::make_shared<StartOutcome>(std::move(outcome));
        onMain([this, shared] { finishStart(std::move(*shared)); });
    });
}

void RecordingSession::finishStart(StartOutcome outcome) {
    startInProgress_ = false;
    if (outcome.systemRecorder) {
        // A recorder whose start failed stays until the next recording replaces it.
        systemRecorder_ = std::move(outcome.systemRecorder);
    }
    if (outcome.error) {
        phase_.set(Phase::failed(startFailedPrefix + errorDescription(outcome.error)));
        return;
    }
    startedAt_ = collaborators_.now();
    elapsedSeconds_.set(0);
    phase_.set(Phase::recording());
    startMeterTimer();
}

void RecordingSession::runOnRecorderThread(std::function<void()> work) {
    if (recorderThread_.joinable()) {
        recorderThread_.join(); // the previous start or stop has reported back, so it is done
    }
    recorderThread_ = std::thread(std::move(work));
}

// MARK: Meter

void RecordingSession::startMeterTimer() {
    meterTimer_ = dispatcher_.scheduleRepeating(meterInterval, [this] {
        if (!startedAt_) {
            return;
        }
        elapsedSeconds_.set(std::chrono::duration<double>(collaborators_.now() - *startedAt_).count());
        micLevel_.set(micRecorder_->level());
        // A microphone that lost its input (or its sound server) records nothing more: the recording
        // ends now, as the user's stop would, and that stop reports the loss. Posted, because the stop
        // removes this very timer.
        if (micRecorder_->inputEnded()) {
            onMain([this] { stop(); });
        }
    });
}

void RecordingSession::stopMeterTimer() {
    meterTimer_.reset();
    micLevel_.set(0);
}

// MARK: Stop and reset

void RecordingSession::stop() {
    if (!phase_.value().isRecording() || stopInProgress_) {
        return;
    }
    stopInProgress_ = true;
    stopMeterTimer();
    // Read before the microphone stops: they describe the recording that ends.
    const std::int64_t failureCount = micRecorder_->writeFailureCount();
    const std::exception_ptr lastError = micRecorder_->lastWriteError();
    auto systemRecorder = std::shared_ptr<RecordingSystemAudio>(std::move(systemRecorder_));
    runOnRecorderThread([this, systemRecorder, failureCount, lastError]() mutable {
        micRecorder_->stop();
        if (systemRecorder) {
            try {
                systemRecorder->stop();
            } catch (...) {
                // A system track that could not be finished is post-processed as far as it goes.
            }
            systemRecorder.reset();
        }
        onMain([this, failureCount, lastError] { finishStop(failureCount, lastError); });
    });
}

void RecordingSession::finishStop(std::int64_t failureCount, const std::exception_ptr& lastError) {
    stopInProgress_ = false;
    if (!sessionFolder_) {
        phase_.set(Phase::idle());
        return;
    }
    if (failureCount >= 1) {
        phase_.set(Phase::failed(writeFailureMessage(failureCount, lastError)));
        return;
    }
    phase_.set(Phase::idle());
    enqueueTranscription(*sessionFolder_);
}

void RecordingSession::reset() {
    if (isChangingRecorders()) {
        return;
    }
    phase_.set(Phase::idle());
    elapsedSeconds_.set(0);
    transcriptionError_.set(std::nullopt);
    sessionFolder_.reset();
}

// MARK: Post-processing queue

void RecordingSession::enqueueTranscription(const std::filesystem::path& folder) {
    reapEndedJobs();
    pendingTranscriptions_.set(pendingTranscriptions_.value() + 1);
    auto previous = lastTranscriptionTask_;
    auto job = std::make_shared<Job>();
    job->thread = std::thread([this, job = job.get(), previous, folder]() mutable {
        runJob(*job, std::move(previous), folder);
    });
    lastTranscriptionTask_ = job;
    transcriptionTasks_.push_back(job);
    jobThreads_.push_back(job);
}

void RecordingSession::runJob(Job& job, std::shared_ptr<Job> previous, const std::filesystem::path& folder) {
    if (previous) {
        previous->waitUntilEnded();
        previous.reset();
    }
    postProcess(folder, job.stop.get_token());
    onMain([this] { endJob(); });
    job.markEnded();
}

void RecordingSession::endJob() {
    pendingTranscriptions_.set(pendingTranscriptions_.value() - 1);
    if (pendingTranscriptions_.value() == 0) {
        transcriptionTasks_.clear();
        lastTranscriptionTask_.reset();
    }
    reapEndedJobs();
}

void RecordingSession::reapEndedJobs() {
    std::erase_if(jobThreads_, [](const std::shared_ptr<Job>& job) { return job->hasEnded(); });
}

void RecordingSession::cancelTranscription() {
    for (const auto& job : transcriptionTasks_) {
        job->stop.request_stop();
    }
    transcriptionTasks_.clear();
    lastTranscriptionTask_.reset();
}

void RecordingSession::appendPreview(Speaker speaker, const std::string& text) {
    std::string preview = transcriptText_.value();
    if (!preview.empty()) {
        preview += "\n";
    }
    preview += rawValue(speaker);
    preview += ": ";
    preview += text;
    transcriptText_.set(std::move(preview));
}

// MARK: Post-processing pipeline (on the job's thread)

void RecordingSession::postProcess(const std::filesystem::path& folder, std::stop_token stop) {
    const auto micRaw = folder / "mic.caf";
    const auto systemRaw = folder / "system_capture.mp4";
    const auto micTrack = folder / "mic.m4a";
    const auto systemTrack = folder / "system.m4a";
    const auto setProgress = [this](std::string text) {
        onMain([this, text = std::move(text)] { transcriptProgress_.set(text); });
    };
    const auto previewFor = [this](Speaker speaker) {
        return [this, speaker](const TranscriptSegment& segment) {
            onMain([this, speaker, text = segment.text] { appendPreview(speaker, text); });
        };
    };

    onMain([this] {
        transcriptText_.set("");
        transcriptionError_.set(std::nullopt);
    });
    try {
        orvane::throwIfCancelled(stop);
        setProgress("音声を変換中…");
        collaborators_.convertToM4A(micRaw, micTrack, stop);
        collaborators_.convertToM4A(systemRaw, systemTrack, stop);
        removeQuietly(micRaw);
        removeQuietly(systemRaw);
        orvane::throwIfCancelled(stop);

        const auto modelName = readOnMain<std::string>([this] { return settings_.modelName().value(); }, stop);
        if (!collaborators_.transcription->isLoaded(modelName)) {
            setProgress("文字起こしモデルを準備中…");
        }
        const auto transcriber = collaborators_.transcription->transcriber(modelName, stop);
        orvane::throwIfCancelled(stop);

        const auto threshold = [this, &stop] {
            return readOnMain<float>([this] { return settings_.vadThreshold().value(); }, stop);
        };
        setProgress("自分の発話を文字起こし中…");
        const auto me = transcriber->transcribe(micTrack.string(), threshold(), previewFor(Speaker::me), stop);
        orvane::throwIfCancelled(stop);
        setProgress("相手の発話を文字起こし中…");
        const auto other =
            transcriber->transcribe(systemTrack.string(), threshold(), previewFor(Speaker::other), stop);

        const auto kept = MicBleedFilter::removeBleedSegments(me, micTrack.string(), systemTrack.string(),
                                                              bleedCorrelationThreshold, bleedMaxLagSeconds);
        const auto merged = TranscriptWriter::merge(kept, other);
        TranscriptWriter::writeText(merged, folder / "transcript.txt");
        TranscriptWriter::writeJSON(merged, folder / "transcript.json");

        setProgress("音声をまとめています…");
        collaborators_.mix(micTrack, systemTrack, folder / "recording.m4a", stop);
        removeQuietly(micTrack);
        removeQuietly(systemTrack);

        onMain([this, text = transcriptPreview(merged), folder] {
            transcriptText_.set(text);
            transcriptProgress_.set("完了");
            lastFinishedFolder_.set(folder);
        });
    } catch (...) {
        const auto error = std::current_exception();
        bool cancelled = stop.stop_requested();
        try {
            std::rethrow_exception(error);
        } catch (const orvane::CancellationError&) {
            cancelled = true;
        } catch (...) {
        }
        if (cancelled) {
            onMain([this, folder] {
                transcriptProgress_.set("キャンセルしました");
                lastFinishedFolder_.set(folder);
            });
        } else {
            onMain([this, message = jobFailedPrefix + errorDescription(error)] {
                transcriptProgress_.set("");
                transcriptionError_.set(message);
            });
        }
    }
}

} // namespace velmora
