#include "../../VelmoractlRunner.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Pulse/PulseCallbackRecordStream.h"
#include "Platform/Audio/Pulse/PulseContext.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Audio/SignalLevel.h"
#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/AudioCapture/TwoTrack/DualTrackRecorder.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <unistd.h>

using testsupport::LoadedPulseModule;
using velmora::DualTrackRecorder;

namespace {

constexpr int micRate = 48000;
constexpr double micFrequency = 440;
constexpr double micPeak = 0.5;
constexpr double systemFrequency = 1000;

// Writes a sine into a FIFO in 10 ms pieces as time passes, 40 ms ahead, as a microphone delivers: a
// pipe source then hands it on at the pace it was spoken. A stall of this thread is made up for (a
// late microphone); a full pipe drops the piece, so the writer never blocks.
class PacedSineFeeder {
public:
    explicit PacedSineFeeder(const std::filesystem::path& fifo)
        : fd_(open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) {
        if (fd_ >= 0) {
            thread_ = std::thread([this] { run(); });
        }
    }
    ~PacedSineFeeder() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool isOpen() const { return fd_ >= 0; }

private:
    void run() {
        constexpr int piece = micRate / 100;
        std::vector<float> samples(piece);
        int64_t frame = 0;
        auto due = std::chrono::steady_clock::now() - std::chrono::milliseconds(40);
        while (!stop_) {
            for (int i = 0; i < piece; ++i, ++frame) {
                samples[size_t(i)] =
                    float(micPeak * std::sin(2 * M_PI * micFrequency * double(frame) / micRate));
            }
            [[maybe_unused]] auto written = write(fd_, samples.data(), samples.size() * sizeof(float));
            due += std::chrono::milliseconds(10);
            const auto now = std::chrono::steady_clock::now();
            if (due < now - std::chrono::seconds(1)) {
                due = now; // blocked for long: start afresh rather than flood
            }
            std::this_thread::sleep_until(due);
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The run's sound server with a microphone of its own (a pipe source fed a 440 Hz sine, the default
// input) and a 1000 Hz sine playing into the default output. Both sources are kept busy by a reader
// from before the recording starts: an idle pipe source lets its pipe fill (an early burst later), and
// the test server's idle output takes up to 2 s to pass on what starts playing (real devices do not).
class DualTrackRecordingTest : public testsupport::PulseServerTest {
protected:
    void SetUp() override {
        PulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        microphone = std::make_unique<LoadedPulseModule>(
            "module-pipe-source", "source_name=dual_mic file=" + (folder / "mic.fifo").string() +
                                      " format=float32le rate=" + std::to_string(micRate) +
                                      " channels=1 source_properties=device.description=Dual-Mic");
        ASSERT_GE(microphone->index(), 0);
        ASSERT_EQ(testsupport::pactl("set-default-source dual_mic"), 0);
        feeder = std::make_unique<PacedSineFeeder>(folder / "mic.fifo");
        ASSERT_TRUE(feeder->isOpen());
        sine = std::make_unique<LoadedPulseModule>("module-sine", "sink=test_sink frequency=" +
                                                                      std::to_string(int(systemFrequency)));
        ASSERT_GE(sine->index(), 0);
        keepBusy("dual_mic", micHeard);
        keepBusy("test_sink.monitor", systemHeard);
        // The deadline only keeps a broken server from hanging the run; it measures nothing.
        for (int i = 0; i < 1000 && (micHeard < 4800 || systemHeard < 4800); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GE(micHeard, 4800) << "the microphone delivers nothing";
        ASSERT_GE(systemHeard, 4800) << "the output's monitor passes on no sound";
    }

    void TearDown() override {
        readers.clear();
        feeder.reset();
    }

    void keepBusy(const std::string& source, std::atomic<int64_t>& heard) {
        audio::PulseCallbackRecordStream::Options options;
        options.sourceName = source;
        options.sampleRate = micRate;
        options.channels = 1;
        readers.push_back(std::make_unique<audio::PulseCallbackRecordStream>(
            audio::PulseContext::shared(), options, [&heard](const void* data, size_t bytes) {
                const auto* samples = static_cast<const float*>(data);
                for (size_t i = 0; data != nullptr && i < bytes / sizeof(float); ++i) {
                    heard += std::fabs(samples[i]) > 0.01f ? 1 : 0;
                }
            }));
    }

    /// Waits until the recorder has written `frames` more frames.
    void recordFurther(const DualTrackRecorder& recorder, int64_t frames) {
        const int64_t target = recorder.framesWritten() + frames;
        for (int i = 0; i < 1000 && recorder.framesWritten() < target; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_GE(recorder.framesWritten(), target) << "the recording does not advance";
    }

    /// Checks that each file holds its own signal wherever it holds sound (a stretch the server was late
    /// with is silence), and returns the files' lengths.
    std::pair<int64_t, int64_t> expectOwnSignals(const std::string& micName, const std::string& systemName,
                                                 double rate) {
        const auto mic = audiotest::readBack(folder / micName);
        const auto system = audiotest::readBack(folder / systemName);
        EXPECT_EQ(mic.sampleRate, rate);
        EXPECT_EQ(system.sampleRate, rate);
        EXPECT_EQ(mic.planes.size(), 1u);
        if (system.planes.size() != 2u) {
            ADD_FAILURE() << "the system file has " << system.planes.size() << " channels";
            return {0, 0};
        }
        const auto micSound = soundIn(mic.planes[0], rate);
        EXPECT_NEAR(micSound.rms, micPeak / std::sqrt(2.0), 0.02);
        EXPECT_NEAR(micSound.frequency, micFrequency, micFrequency / 50);
        for (const auto& plane : system.planes) {
            const auto sound = soundIn(plane, rate);
            EXPECT_NEAR(sound.frequency, systemFrequency, systemFrequency / 50);
            EXPECT_GT(sound.seconds, double(plane.size()) / rate / 2);
        }
        return {int64_t(mic.planes[0].size()), int64_t(system.planes[0].size())};
    }

    struct Sound {
        double seconds = 0;
        double rms = 0;
        double frequency = 0;
    };

    /// Level and frequency (from zero crossings) over the 10 ms blocks that are not silent.
    static Sound soundIn(const std::vector<float>& plane, double rate) {
        const size_t block = size_t(rate / 100);
        Sound sound;
        double sum = 0;
        size_t crossings = 0;
        size_t samples = 0;
        bool previousSounded = false;
        for (size_t start = 0; start + block <= plane.size(); start += block) {
            const auto level = testsupport::measureSignal(std::span(plane).subspan(start, block));
            const bool sounded = level.rms >= 0.01;
            const bool joined = sounded && previousSounded;
            previousSounded = sounded;
            if (!sounded) {
                continue;
            }
            samples += block;
            sum += level.rms * level.rms * double(block);
            crossings += level.zeroCrossings;
            // The crossing between this block and a sounding one before it.
            crossings += joined && (plane[start - 1] < 0) != (plane[start] < 0) ? 1 : 0;
        }
        sound.seconds = double(samples) / rate;
        sound.rms = samples > 0 ? std::sqrt(sum / double(samples)) : 0;
        sound.frequency = sound.seconds > 0 ? double(crossings) / 2 / sound.seconds : 0;
        return sound;
    }

    testsupport::TemporaryDirectory folder;
    std::unique_ptr<LoadedPulseModule> microphone;
    std::unique_ptr<PacedSineFeeder> feeder;
    std::unique_ptr<LoadedPulseModule> sine;
    std::atomic<int64_t> micHeard{0};
    std::atomic<int64_t> systemHeard{0};
    std::vector<std::unique_ptr<audio::PulseCallbackRecordStream>> readers;
};

} // namespace

TEST_F(DualTrackRecordingTest, EachFileHoldsItsOwnSignalAndBothAreEquallyLongAcrossStopsAndARestart) {
    DualTrackRecorder recorder;
    EXPECT_EQ(recorder.outputDeviceName(), "Test-Sink");
    ASSERT_TRUE(recorder.layout().has_value());
    const auto layout = *recorder.layout();
    // A null sink has no inputs; the pipe source is mono, the monitor stereo.
    EXPECT_EQ(layout.micChannels, (velmora::ChannelRange{0, 1}));
    EXPECT_EQ(layout.systemChannels, (velmora::ChannelRange{1, 3}));
    EXPECT_EQ(layout.totalInputChannels, 3);
    EXPECT_GT(layout.sampleRate, 0);
    EXPECT_EQ(layout.tapAdvertisedSampleRate, layout.sampleRate);
    EXPECT_FALSE(recorder.isRunning());

    recorder.start(folder / "mic.caf", folder / "system.caf");
    EXPECT_TRUE(recorder.isRunning());
    // The streams carry the tap's and the capture device's names where the server lists them.
    std::string streams;
    testsupport::pactl("list source-outputs", &streams);
    EXPECT_NE(streams.find("media.name = \"Velmora System Tap\""), std::string::npos) << streams;
    EXPECT_NE(streams.find("media.name = \"Velmora Capture\""), std::string::npos);
    recordFurther(recorder, int64_t(layout.sampleRate * 1.5));
    recorder.stop();
    const int64_t first = recorder.framesWritten();
    EXPECT_FALSE(recorder.isRunning());
    recorder.stop();
    EXPECT_EQ(recorder.writeFailures(), 0);
    EXPECT_EQ(recorder.emptyInputCalls(), 0);
    EXPECT_GT(recorder.ioProcCalls(), 0);

    const auto [micFrames, systemFrames] = expectOwnSignals("mic.caf", "system.caf", layout.sampleRate);
    // One fragment is about 20 ms.
    EXPECT_LE(std::abs(micFrames - systemFrames), int64_t(layout.sampleRate / 50));
    EXPECT_EQ(micFrames, first);

    recorder.start(folder / "mic2.caf", folder / "system2.caf");
    recordFurther(recorder, int64_t(layout.sampleRate));
    recorder.stop();
    const int64_t total = recorder.framesWritten();
    const auto [micFrames2, systemFrames2] = expectOwnSignals("mic2.caf", "system2.caf", layout.sampleRate);
    EXPECT_LE(std::abs(micFrames2 - systemFrames2), int64_t(layout.sampleRate / 50));
    EXPECT_EQ(micFrames + micFrames2, total);
    // The first recording's files are left as they were.
    EXPECT_EQ(audio::AudioFileReader(folder / "mic.caf").length(), micFrames);
}

TEST_F(DualTrackRecordingTest, VelmoractlRecordsBothFilesAndPrintsTheLayoutDevicesAndCounters) {
    velmoractltest::Velmoractl velmoractl;
    const auto out = folder / "take";
    auto run = velmoractl("record-dual --seconds 1 --dir '" + out.string() + "'");
    ASSERT_EQ(run.status, 0);
    const int64_t frames = audio::AudioFileReader(out / "mic.caf").length();
    EXPECT_GT(frames, 0);
    audio::AudioFileReader system(out / "system.caf");
    EXPECT_EQ(system.length(), frames);
    EXPECT_EQ(system.fileFormat().channelCount, 2u);
    const std::regex line(
        R"(\{"layout":\{"totalInputChannels":3,"micChannels":\[0,1\],"systemChannels":\[1,3\],"sampleRate":(\d+),)"
        R"("tapAdvertisedSampleRate":\1\},"outputDeviceName":"Test-Sink","outputDeviceTransport":"仮想",)"
        R"("micDeviceName":"Dual-Mic","framesWritten":)" +
        std::to_string(frames) + R"(,"ioProcCalls":[1-9]\d*,"writeFailures":0,"emptyInputCalls":0,"lastError":null\}\n)");
    EXPECT_TRUE(std::regex_match(run.output, line)) << run.output;

    // A folder that cannot be made is a failure of its own.
    testsupport::writeFile(folder / "file", "");
    run = velmoractl("record-dual --seconds 1 --dir '" + (folder / "file" / "take").string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(velmoractl("record-dual --seconds -1 --dir x").status, 2);
    EXPECT_EQ(velmoractl("record-dual --dir x").status, 2);
}
