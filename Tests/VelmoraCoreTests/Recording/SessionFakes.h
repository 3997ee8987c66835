#pragma once
// The recording session's world for its tests: recorders that write small real tracks, a converter that
// converts for real but can be held or made to fail, a transcription that answers from a script, a
// clock that only moves when told, and the main loop run until something has happened.

#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Recording/SessionCollaborators.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sessiontest {

/// Opened and closed by the test; a thread that waits on a closed gate also leaves when its stop
/// token fires.
class Gate {
public:
    void close();
    void open();
    /// Waits while closed; false when `stop` fired first.
    bool pass(std::stop_token stop = {});
    /// Threads waiting now.
    int waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool closed_ = false;
    int waiting_ = 0;
};

struct FakeMicrophone final : velmora::RecordingMicrophone {
    struct State {
        std::mutex mutex;
        int starts = 0;
        int stops = 0;
        std::optional<std::string> preferredUID;
        std::vector<std::filesystem::path> files;
        std::exception_ptr startError;
        std::int64_t failures = 0;
        std::exception_ptr lastError;
        bool inputEnded = false;
        float level = 0;
    };
    explicit FakeMicrophone(std::shared_ptr<State> state) : state(std::move(state)) {}
    void setPreferredDeviceUID(std::optional<std::string> uid) override;
    void start(const std::filesystem::path& file) override;
    void stop() override;
    float level() const override;
    std::int64_t writeFailureCount() const override;
    std::exception_ptr lastWriteError() const override;
    bool inputEnded() const override;
    std::shared_ptr<State> state;
};

struct FakeSystemAudio final : velmora::RecordingSystemAudio {
    struct State {
        std::mutex mutex;
        int made = 0;
        int starts = 0;
        int stops = 0;
        std::exception_ptr startError;
        Gate startGate;
        Gate stopGate;
    };
    explicit FakeSystemAudio(std::shared_ptr<State> state) : state(std::move(state)) {}
    void start(const std::filesystem::path& file) override;
    void stop() override;
    std::shared_ptr<State> state;
};

/// Answers every transcription of "mic.m4a" with `me` and of "system.m4a" with `other`.
struct FakeTranscription final : velmora::SessionTranscription {
    std::vector<velmora::TranscriptSegment> me;
    std::vector<velmora::TranscriptSegment> other;
    /// Whether a load is kept (isLoaded true afterwards).
    std::atomic<bool> keepsLoads{true};
    std::atomic<int> loads{0};
    std::atomic<bool> failLoads{false};
    std::atomic<bool> failTranscriptions{false};

    bool isLoaded(const std::string& modelName) const override;
    std::shared_ptr<velmora::TrackTranscriber> transcriber(const std::string& modelName,
                                                           std::stop_token stop) override;

    mutable std::mutex mutex;
    std::optional<std::string> loadedName;
};

/// Real conversion and mixing (so the bleed filter and the files are real), each call recorded and
/// optionally held at a gate or failed.
struct FakeConverter {
    std::mutex mutex;
    std::vector<std::string> calls; // "convert <folder name>/<file>", "mix <folder name>"
    Gate gate;
    std::optional<std::string> failOn; // "<folder name>/<file>" of a source that fails to convert
};

/// A wall clock that moves only with advance().
struct FakeClock {
    std::atomic<std::int64_t> milliseconds;
    explicit FakeClock(std::chrono::system_clock::time_point start)
        : milliseconds(std::chrono::duration_cast<std::chrono::milliseconds>(start.time_since_epoch()).count()) {}
    std::chrono::system_clock::time_point now() const {
        return std::chrono::system_clock::time_point(std::chrono::milliseconds(milliseconds.load()));
    }
    void advance(std::chrono::milliseconds by) { milliseconds += by.count(); }
};

struct FakeWorld {
    std::shared_ptr<FakeMicrophone::State> mic = std::make_shared<FakeMicrophone::State>();
    std::shared_ptr<FakeSystemAudio::State> system = std::make_shared<FakeSystemAudio::State>();
    std::shared_ptr<FakeTranscription> transcription = std::make_shared<FakeTranscription>();
    std::shared_ptr<FakeConverter> converter = std::make_shared<FakeConverter>();
    std::shared_ptr<FakeClock> clock;
    std::atomic<std::int64_t> availableBytes{20'000'000'000};
    std::atomic<bool> spaceUnknown{false};

    explicit FakeWorld(std::chrono::system_clock::time_point start);
    velmora::SessionCollaborators collaborators();
};

/// Runs the loop's posted tasks until `done` holds; false when it still does not after a long while (a
/// hang, never a measure of speed).
bool runUntil(velmora::PlainMainLoop& loop, const std::function<bool()>& done);

/// The names in a folder, sorted.
std::vector<std::string> folderContents(const std::filesystem::path& folder);

} // namespace sessiontest
