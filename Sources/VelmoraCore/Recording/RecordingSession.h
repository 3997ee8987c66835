#pragma once
// The spine of the application: records one conversation at a time as two tracks (the microphone into
// "mic.caf", what the computer plays into "system_capture.mp4") in a folder named by its start time, and
// turns every cleanly stopped recording, one at a time and in the order of the stops, into
// "recording.m4a", "transcript.txt" and "transcript.json".
//
// Threads: every public call and every change of a published property happens on the dispatcher's main
// thread. What may block runs elsewhere: the recorders' start and stop on a helper thread, each
// post-processing job (conversion, transcription, bleed filter, writes, mix) on a thread of its own that
// first waits for the previous job's end. Their outcomes come back to the main thread as posted tasks,
// so start() and stop() return at once and publish the outcome later.
//
// A start or stop that arrives while another is still waiting for the recorders is ignored (as is a
// reset in that time), so each recording is started once and its folder queued once.

#include "VelmoraCore/AudioCapture/Devices/DeviceInfo.h"
#include "VelmoraCore/MainThreadDispatcher.h"
#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Recording/RecordingPhase.h"
#include "VelmoraCore/Recording/SessionCollaborators.h"
#include "VelmoraCore/Transcripts/Speaker.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

class AppSettings;

class RecordingSession {
public:
    using Phase = RecordingPhase;

    /// Makes the microphone recorder and reads the device description (with no preferred input). The
    /// settings and the dispatcher must outlive the session; construct it on the main thread.
    RecordingSession(AppSettings& settings, MainThreadDispatcher& dispatcher,
                     SessionCollaborators collaborators = SessionCollaborators::standard());
    /// Cancels the jobs and waits for every thread of the session to end; posted work still queued
    /// then does nothing. Main thread.
    ~RecordingSession();
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

    // Published properties.
    const Observable<Phase>& phase() const { return phase_; }
    /// Seconds since the current recording started; kept after a stop until the next start or reset.
    const Observable<double>& elapsedSeconds() const { return elapsedSeconds_; }
    /// The microphone's peak level, every 0.1 s while recording; 0 otherwise.
    const Observable<float>& micLevel() const { return micLevel_; }
    /// The live preview while tracks are transcribed, then the finished transcript.
    const Observable<std::string>& transcriptText() const { return transcriptText_; }
    /// The current post-processing step's text.
    const Observable<std::string>& transcriptProgress() const { return transcriptProgress_; }
    /// Jobs queued or running.
    const Observable<int>& pendingTranscriptions() const { return pendingTranscriptions_; }
    const Observable<std::optional<std::string>>& transcriptionError() const { return transcriptionError_; }
    /// The folder of the last job that finished or was cancelled.
    const Observable<std::optional<std::filesystem::path>>& lastFinishedFolder() const { return lastFinishedFolder_; }
    const Observable<DeviceInfo>& currentDeviceInfo() const { return currentDeviceInfo_; }

    /// Describes the devices again with the preferred input setting.
    void refreshDeviceInfo();
    /// Begins a recording; does nothing while recording or while a start or stop is in progress.
    /// Returns at once: the phase becomes `recording` once both recorders run, or `failed`.
    void start();
    /// Ends the recording and queues its folder; does nothing unless recording or while a stop is in
    /// progress. Returns at once: the phase leaves `recording` once both recorders are stopped.
    /// A recording whose microphone loses its input or its sound server is stopped this way by the
    /// session itself, within a meter tick; the stop then fails it with the microphone's failure.
    void stop();
    /// Back to `idle` with no elapsed time, error or folder. Ignored while a start or stop is in progress.
    void reset();
    /// Cancels every queued or running job; each still ends by itself and counts itself down.
    void cancelTranscription();

    /// True while a start or stop waits for the recorders.
    bool isChangingRecorders() const { return startInProgress_ || stopInProgress_; }

private:
    struct Job;
    struct StartOutcome;

    void preloadModel();
    void beginRecording();
    void finishStart(StartOutcome outcome);
    void finishStop(std::int64_t failureCount, const std::exception_ptr& lastError);
    void startMeterTimer();
    void stopMeterTimer();
    void runOnRecorderThread(std::function<void()> work);

    void enqueueTranscription(const std::filesystem::path& folder);
    void runJob(Job& job, std::shared_ptr<Job> previous, const std::filesystem::path& folder);
    void postProcess(const std::filesystem::path& folder, std::stop_token stop);
    void endJob();
    void reapEndedJobs();
    void appendPreview(Speaker speaker, const std::string& text);

    /// Runs `task` on the main thread if the session still exists then. Any thread.
    void onMain(std::function<void()> task);
    /// A value read on the main thread, for a job thread; CancellationError when `stop` comes first.
    template <class T> T readOnMain(std::function<T()> read, std::stop_token stop);

    AppSettings& settings_;
    MainThreadDispatcher& dispatcher_;
    const SessionCollaborators collaborators_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    Observable<Phase> phase_;
    Observable<double> elapsedSeconds_{0};
    Observable<float> micLevel_{0};
    Observable<std::string> transcriptText_;
    Observable<std::string> transcriptProgress_;
    Observable<int> pendingTranscriptions_{0};
    Observable<std::optional<std::string>> transcriptionError_;
    Observable<std::optional<std::filesystem::path>> lastFinishedFolder_;
    Observable<DeviceInfo> currentDeviceInfo_;

    // Main thread only, except where the recorder thread has them while a start or stop is in progress.
    std::unique_ptr<RecordingMicrophone> micRecorder_;
    std::unique_ptr<RecordingSystemAudio> systemRecorder_;
    std::optional<std::filesystem::path> sessionFolder_;
    std::optional<std::chrono::system_clock::time_point> startedAt_;
    std::unique_ptr<RepeatingTimer> meterTimer_;
    bool startInProgress_ = false;
    bool stopInProgress_ = false;
    std::thread recorderThread_;

    std::shared_ptr<Job> lastTranscriptionTask_;
    std::vector<std::shared_ptr<Job>> transcriptionTasks_;
    // Every job whose thread has not been joined yet.
    std::vector<std::shared_ptr<Job>> jobThreads_;

    bool modelPreloadRunning_ = false;
    std::jthread modelPreloadThread_;
};

} // namespace velmora
