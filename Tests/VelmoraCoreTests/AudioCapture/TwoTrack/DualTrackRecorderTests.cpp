#include "../Devices/FakeAudioSystem.h"
#include "../Recording/RecordingFakes.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"
#include "VelmoraCore/AudioCapture/TwoTrack/DualTrackRecorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <pulse/def.h>

using recordingtest::EventLog;
using velmora::CAError;
using velmora::DualTrackRecorder;
using velmora::InputBuffer;
using Log = std::vector<std::string>;

namespace {

template <typename T> T readable(const std::optional<T>& value, const char* call) {
    if (!value) {
        throw CAError::status(call, -1);
    }
    return *value;
}

// The machine's sound server reports a missing default as a failed read of its defaults.
struct ServerLikeAudioSystem : testsupport::FakeAudioSystem {
    velmora::AudioDeviceID defaultOutputDevice() override { return orMissing(defaultOutput); }
    velmora::AudioDeviceID defaultInputDevice() override { return orMissing(defaultInput); }
    static velmora::AudioDeviceID orMissing(const std::optional<velmora::AudioDeviceID>& device) {
        if (!device) {
            throw CAError::status("pa_context_get_server_info", PA_ERR_NOENTITY);
        }
        return *device;
    }
};

// A tap and capture device driven by the test: what the recorder asked for is kept, an empty value
// cannot be read, and deliveries go to the started device's handler by hand.
struct FakeTapHardware : velmora::TapHardware {
    explicit FakeTapHardware(std::shared_ptr<EventLog> log) : log(std::move(log)) {}

    std::shared_ptr<EventLog> log;
    int tapStatus = 0;
    int aggregateStatus = 0;
    bool startFails = false;
    std::optional<std::string> tapUID = "tap-1";
    std::optional<velmora::TapFormat> tapFormat = velmora::TapFormat{2, 48000};
    std::optional<int> aggregateChannels = 3;
    std::optional<double> aggregateRate = 48000;
    velmora::TapDescription tapDescription;
    velmora::AggregateDescription aggregateDescription;
    velmora::AggregateDevice::InputHandler handler;
    bool running = false;

    bool deliver(const std::vector<InputBuffer>& buffers) {
        if (running) {
            handler(buffers);
        }
        return running;
    }

    struct Tap : velmora::ProcessTap {
        explicit Tap(FakeTapHardware& owner) : owner(owner) {}
        ~Tap() override { owner.log->add("destroy tap"); }
        std::string uid() override { return readable(owner.tapUID, "tuid"); }
        velmora::TapFormat format() override { return readable(owner.tapFormat, "tfmt"); }
        FakeTapHardware& owner;
    };

    struct Aggregate : velmora::AggregateDevice {
        explicit Aggregate(FakeTapHardware& owner) : owner(owner) {}
        ~Aggregate() override { owner.log->add("destroy aggregate"); }
        int inputChannelCount() override { return readable(owner.aggregateChannels, "slay"); }
        double nominalSampleRate() override { return readable(owner.aggregateRate, "nsrt"); }
        void start(InputHandler handler) override {
            if (owner.startFails) {
                throw CAError::status("AudioDeviceStart", PA_ERR_NOENTITY);
            }
            owner.log->add("start device");
            owner.handler = std::move(handler);
            owner.running = true;
        }
        void stop() override {
            if (owner.running) {
                owner.log->add("stop device");
            }
            owner.running = false;
        }
        bool isRunning() override { return owner.running; }
        std::exception_ptr endError() override { return nullptr; }
        FakeTapHardware& owner;
    };

    std::unique_ptr<velmora::ProcessTap>
    createProcessTap(const velmora::TapDescription& description) override {
        tapDescription = description;
        velmora::caCheck("tap", tapStatus);
        log->add("create tap");
        return std::make_unique<Tap>(*this);
    }
    std::unique_ptr<velmora::AggregateDevice>
    createAggregateDevice(const velmora::AggregateDescription& description) override {
        aggregateDescription = description;
        velmora::caCheck("AudioHardwareCreateAggregateDevice", aggregateStatus);
        log->add("create aggregate");
        return std::make_unique<Aggregate>(*this);
    }
};

class DualTrackRecorderTest : public ::testing::Test {
protected:
    DualTrackRecorderTest() {
        system.devices.push_back(
            {3, "speaker.uid", "Speakers", 48000, velmora::TransportType::builtIn, 0, 2});
        system.devices.push_back(
            {0x80000007, "mic.uid", "USB Mic", 48000, velmora::TransportType::usb, 1, 0});
        system.defaultOutput = 3;
        system.defaultInput = 0x80000007;
    }

    std::unique_ptr<DualTrackRecorder> make() {
        return std::make_unique<DualTrackRecorder>(system, hardware, files.factory());
    }

    /// What constructing a recorder throws; empty when it does not.
    std::string constructionError() {
        try {
            make();
        } catch (const CAError& error) {
            return error.description();
        }
        return "";
    }

    std::shared_ptr<EventLog> log = std::make_shared<EventLog>();
    ServerLikeAudioSystem system;
    FakeTapHardware hardware{log};
    recordingtest::FakeFiles files{log};
};

// A mono microphone buffer and an interleaved stereo tap buffer, each frame the same.
struct Delivery {
    Delivery(int frames, float micValue, float left, float right) : mic(size_t(frames), micValue) {
        for (int f = 0; f < frames; ++f) {
            tap.insert(tap.end(), {left, right});
        }
    }
    std::vector<InputBuffer> buffers() const {
        return {{1, mic.size() * sizeof(float), mic.data()}, {2, tap.size() * sizeof(float), tap.data()}};
    }
    std::vector<float> mic;
    std::vector<float> tap;
};

} // namespace

TEST_F(DualTrackRecorderTest, ConstructionDescribesTheDevicesAndBuildsTheTapAndTheDeviceOverThem) {
    auto recorder = make();
    EXPECT_EQ(recorder->outputDeviceName(), "Speakers");
    EXPECT_EQ(recorder->outputDeviceTransport(), "内蔵");
    EXPECT_EQ(recorder->micDeviceName(), "USB Mic");
    EXPECT_EQ(hardware.tapDescription.name, "Velmora System Tap");
    EXPECT_EQ(hardware.aggregateDescription.subDevices,
              (std::vector<velmora::AggregateMember>{{"speaker.uid", 0}, {"mic.uid", 1}}));
    EXPECT_EQ(hardware.aggregateDescription.taps, (std::vector<velmora::AggregateMember>{{"tap-1", 1}}));
    EXPECT_EQ(hardware.aggregateDescription.uid.size(), 36u);
    EXPECT_NE(hardware.aggregateDescription.uid, hardware.tapDescription.uuid);
    EXPECT_EQ(*recorder->layout(), (velmora::ChannelLayout{3, {0, 1}, {1, 3}, 48000, 48000}));
    EXPECT_FALSE(recorder->isRunning());
    EXPECT_EQ(log->all(), (Log{"create tap", "create aggregate"}));

    // Unreadable names, transport, tap UID and device rate.
    system.devices[0].name.reset();
    system.devices[0].transportType.reset();
    system.devices[1].name.reset();
    hardware.tapUID.reset();
    hardware.aggregateRate.reset();
    hardware.tapFormat = velmora::TapFormat{2, 96000};
    recorder = make();
    EXPECT_EQ(recorder->outputDeviceName(), "?");
    EXPECT_EQ(recorder->outputDeviceTransport(), "その他(0)");
    EXPECT_EQ(recorder->micDeviceName(), "?");
    EXPECT_EQ(hardware.aggregateDescription.taps[0].uid, hardware.tapDescription.uuid);
    EXPECT_EQ(recorder->layout()->sampleRate, 96000);
}

TEST_F(DualTrackRecorderTest, MissingDefaultsARefusedTapAndLaterFailuresRemoveWhatWasMadeDeviceFirst) {
    system.defaultOutput.reset();
    EXPECT_EQ(constructionError(), "デフォルト出力デバイスが見つからない");
    system.defaultOutput = 3;
    system.defaultInput.reset();
    EXPECT_EQ(constructionError(), "デフォルト入力デバイス（マイク）が見つからない");
    system.defaultInput = 0x80000007;
    testsupport::FakeAudioSystem unreadable; // any other failed read is the read's own error
    EXPECT_THROW(DualTrackRecorder(unreadable, hardware, files.factory()), CAError);

    hardware.tapStatus = PA_ERR_ACCESS;
    EXPECT_EQ(constructionError(),
              "AudioHardwareCreateProcessTap に失敗 — OSStatus 1。\n"
              "「システム音声の録音」権限が未許可の可能性が高い。\n"
              "サウンド設定を確認すること。\n"
              "（ターミナルから実行している場合、許可対象はターミナル.app 側になる）");
    EXPECT_TRUE(log->all().empty());
    hardware.tapStatus = 0;

    hardware.aggregateStatus = PA_ERR_NOENTITY;
    EXPECT_EQ(constructionError(), "AudioHardwareCreateAggregateDevice failed — OSStatus 5");
    EXPECT_EQ(log->all(), (Log{"create tap", "destroy tap"}));
    hardware.aggregateStatus = 0;

    log->events.clear();
    hardware.aggregateChannels = 1; // one channel cannot hold both tracks
    EXPECT_EQ(constructionError(),
              "チャンネル配置を解決できない。\nアグリゲート入力ch=1, 出力デバイス入力ch=0, "
              "マイク入力ch=1, タップch=2");
    EXPECT_EQ(log->all(), (Log{"create tap", "create aggregate", "destroy aggregate", "destroy tap"}));
    hardware.aggregateChannels = 3;
    hardware.tapFormat.reset();
    EXPECT_EQ(constructionError(), "tfmt failed — OSStatus -1");
}

TEST_F(DualTrackRecorderTest, EachDeliveryIsSplitIntoTheMicrophonesFirstChannelAndTheTapsChannels) {
    system.devices[1].inputChannels = 2; // a stereo microphone: only its first channel is recorded
    hardware.aggregateChannels = 4;
    auto recorder = make();
    recorder->start("mic.caf", "system.caf");
    EXPECT_TRUE(recorder->isRunning());
    ASSERT_EQ(files.files.size(), 2u);
    EXPECT_EQ(files.files[0]->channels, 1);
    EXPECT_EQ(files.files[0]->sampleRate, 48000);
    EXPECT_EQ(files.files[1]->channels, 2);

    const std::vector<float> mic = {0.5f, 0.9f, -0.5f, 0.9f, 0.5f, 0.9f, -0.5f, 0.9f};
    const std::vector<float> tap = {0.1f, 0.3f, 0.1f, 0.3f}; // 2 of 4 frames: the rest is silence
    ASSERT_TRUE(hardware.deliver({{0, 0, nullptr},
                                  {2, mic.size() * sizeof(float), mic.data()},
                                  {2, tap.size() * sizeof(float), tap.data()}}));
    EXPECT_EQ(files.files[0]->planes[0], (std::vector<float>{0.5f, -0.5f, 0.5f, -0.5f}));
    EXPECT_EQ(files.files[1]->planes[0], (std::vector<float>{0.1f, 0.1f, 0, 0}));
    EXPECT_EQ(files.files[1]->planes[1], (std::vector<float>{0.3f, 0.3f, 0, 0}));
    EXPECT_FLOAT_EQ(recorder->levels().mic, 0.5f);
    EXPECT_FLOAT_EQ(recorder->levels().system, std::sqrt((2 * 0.01f + 2 * 0.09f) / 8));

    // Deliveries without frames are counted and change nothing else.
    ASSERT_TRUE(hardware.deliver({{0, 16, nullptr}}));
    ASSERT_TRUE(hardware.deliver({{2, 4, mic.data()}, {2, 0, tap.data()}}));
    EXPECT_EQ(recorder->emptyInputCalls(), 2);
    EXPECT_EQ(recorder->ioProcCalls(), 3);
    EXPECT_EQ(recorder->framesWritten(), 4);
    EXPECT_FLOAT_EQ(recorder->levels().mic, 0.5f);
}

TEST_F(DualTrackRecorderTest, AFailedMicrophoneWriteSkipsTheSystemWriteAndRecordingGoesOn) {
    files.next->failingWrites = {2};
    auto recorder = make();
    recorder->start("mic.caf", "system.caf");
    for (const auto& delivery :
         {Delivery(3, 0.1f, 0.2f, 0.3f), Delivery(5, 0.4f, 0.5f, 0.6f), Delivery(2, 0.7f, 0.8f, 0.9f)}) {
        ASSERT_TRUE(hardware.deliver(delivery.buffers()));
    }
    EXPECT_EQ(recorder->writeFailures(), 1);
    EXPECT_EQ(recorder->framesWritten(), 5);
    EXPECT_EQ(files.files[1]->writeCalls, 2);
    EXPECT_EQ(files.files[0]->planes[0], (std::vector<float>{0.1f, 0.1f, 0.1f, 0.7f, 0.7f}));
    EXPECT_EQ(files.files[1]->planes[1], (std::vector<float>{0.3f, 0.3f, 0.3f, 0.9f, 0.9f}));
}

TEST_F(DualTrackRecorderTest,
       StopTwiceIsHarmlessARestartWritesNewFilesAndAStartWhileRunningFinishesTheOldOnes) {
    auto recorder = make();
    recorder->start("mic.caf", "system.caf");
    ASSERT_TRUE(hardware.deliver(Delivery(4, 0.5f, 0.25f, 0.25f).buffers()));
    recorder->stop();
    recorder->stop();
    EXPECT_FALSE(recorder->isRunning());
    EXPECT_EQ(log->all(), (Log{"create tap", "create aggregate", "open file mic.caf", "open file system.caf",
                               "start device", "stop device", "close file", "close file"}));
    EXPECT_FLOAT_EQ(recorder->levels().mic, 0.5f);

    recorder->start("mic2.caf", "system2.caf");
    ASSERT_TRUE(hardware.deliver(Delivery(6, 0.1f, 0.1f, 0.1f).buffers()));
    log->events.clear();
    recorder->start("mic3.caf", "system3.caf");
    EXPECT_EQ(log->all(), (Log{"stop device", "close file", "close file", "open file mic3.caf",
                               "open file system3.caf", "start device"}));
    ASSERT_TRUE(hardware.deliver(Delivery(2, 0.1f, 0.1f, 0.1f).buffers()));
    ASSERT_EQ(files.files.size(), 6u);
    EXPECT_EQ(files.files[0]->planes[0].size(), 4u);
    EXPECT_EQ(files.files[3]->planes[1].size(), 6u);
    EXPECT_EQ(files.files[4]->planes[0].size(), 2u);
    EXPECT_EQ(recorder->framesWritten(), 12);
}

TEST_F(DualTrackRecorderTest, FailedStartsLeaveTheirFilesForStopAndDestructionStopsThenRemovesDeviceAndTap) {
    hardware.startFails = true;
    auto recorder = make();
    EXPECT_THROW(recorder->start("mic.caf", "system.caf"), CAError);
    EXPECT_FALSE(files.files[0]->closed);
    hardware.startFails = false;
    files.failure = "no room";
    EXPECT_THROW(recorder->start("mic2.caf", "system2.caf"), std::runtime_error);
    EXPECT_TRUE(files.files[0]->closed);
    files.failure.clear();
    recorder->start("mic3.caf", "system3.caf");
    log->events.clear();
    recorder.reset();
    EXPECT_EQ(log->all(),
              (Log{"stop device", "close file", "close file", "destroy aggregate", "destroy tap"}));
}
