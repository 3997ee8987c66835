#pragma once
// Records the microphone and everything the computer plays as two CAF files that start together,
// through one capture device: a tap on the system's output mix and a private device made of the
// output device, the microphone and that tap. Each delivery of the device is split into the
// microphone's first channel and the tap's channels. The tap and the device live as long as the
// recorder; start() and stop() may alternate any number of times, with new files each time.
//
// Threads: the caller's, and the device's serial thread on which every delivery is split, measured and
// written. The levels have a lock of their own; the counters are atomic, so any thread may read them
// while the device runs. The files and the scratch copies belong to the device's thread while it runs
// and to the caller's after stop().

#include "VelmoraCore/AudioCapture/Devices/AudioSystem.h"
#include "VelmoraCore/AudioCapture/Recording/CaptureFileWriter.h"
#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDevice.h"
#include "VelmoraCore/AudioCapture/TwoTrack/ChannelLayout.h"
#include "VelmoraCore/AudioCapture/TwoTrack/InputBufferList.h"
#include "VelmoraCore/AudioCapture/TwoTrack/ProcessTap.h"
#include "VelmoraCore/AudioCapture/TwoTrack/TapHardware.h"
#include "VelmoraCore/AudioCapture/TwoTrack/TrackScratch.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class DualTrackRecorder {
public:
    struct Levels {
        float mic = 0;
        float system = 0;
    };

    /// Finds the default output and input devices, creates the tap and the capture device and resolves
    /// the layout. Throws CAError (no default device, the tap refused — with a hint about the system
    /// audio permission —, the device refused, channels that do not add up); whatever was created
    /// is removed again first.
    explicit DualTrackRecorder(AudioSystem& system = AudioSystem::shared(),
                               TapHardware& hardware = TapHardware::shared(),
                               CaptureFileWriterFactory makeFile = makeCafCaptureFile);
    /// Stops, then removes the capture device and then the tap.
    ~DualTrackRecorder();
    DualTrackRecorder(const DualTrackRecorder&) = delete;
    DualTrackRecorder& operator=(const DualTrackRecorder&) = delete;

    /// Creates the microphone file (1 channel) and the system file (the tap's channels), both at the
    /// layout's rate, and starts the device. A recording that still runs is stopped first. Throws the
    /// file's own error unchanged (a file already created stays until stop()) or CAError.
    void start(const std::filesystem::path& micURL, const std::filesystem::path& systemURL);
    /// Stops the device (no delivery is handled after this point), closes both files and frees the
    /// scratch copies. Harmless when nothing runs. Levels and counters keep their values.
    void stop();

    /// RMS of the last handled delivery per track. Any thread.
    Levels levels() const;
    /// True while the device delivers. Any thread.
    bool isRunning() const;
    /// Why the device stopped delivering by itself (a member's stream ended: the sound server or the
    /// microphone went), naming the track and the reason; null while it delivers. Kept after stop().
    std::exception_ptr streamError() const;

    const std::optional<ChannelLayout>& layout() const { return layout_; }
    /// Counters over the recorder's life, never reset. Any thread.
    int64_t framesWritten() const { return framesWritten_; }
    int64_t ioProcCalls() const { return ioProcCalls_; }
    int64_t writeFailures() const { return writeFailures_; }
    int64_t emptyInputCalls() const { return emptyInputCalls_; }

    const std::string& outputDeviceName() const { return outputDeviceName_; }
    /// The output device's transport label ("内蔵", "USB", …).
    const std::string& outputDeviceTransport() const { return outputDeviceTransport_; }
    const std::string& micDeviceName() const { return micDeviceName_; }

    /// The text raised when the tap cannot be created, with the system's status.
    static std::string tapFailureText(int32_t status);

private:
    void createTap();
    void createAggregate();
    void resolveLayout();
    void handleInput(InputBufferList buffers);

    AudioSystem& system_;
    TapHardware& hardware_;
    const CaptureFileWriterFactory makeFile_;

    AudioDeviceID outputDevice_ = 0;
    AudioDeviceID micDevice_ = 0;
    // The tap before the device: members go in reverse order, so the device is removed first.
    std::unique_ptr<ProcessTap> tap_;
    std::unique_ptr<AggregateDevice> aggregate_;
    std::string tapUID_;
    bool deviceStarted_ = false;

    mutable std::mutex levelsLock_;
    Levels currentLevels_;

    std::unique_ptr<CaptureFileWriter> micFile_;
    std::unique_ptr<CaptureFileWriter> systemFile_;
    TrackScratch scratch_;
    std::vector<const float*> systemPlanes_;

    std::optional<ChannelLayout> layout_;
    std::atomic<int64_t> framesWritten_{0};
    std::atomic<int64_t> ioProcCalls_{0};
    std::atomic<int64_t> writeFailures_{0};
    std::atomic<int64_t> emptyInputCalls_{0};
    std::string outputDeviceName_;
    std::string outputDeviceTransport_;
    std::string micDeviceName_;
};

} // namespace velmora
