#include "RecordingSessionFixture.h"
#include "VelmoraCore/Recording/SessionFolderName.h"

#include <stdexcept>

using namespace sessiontest;


TEST(SessionFolderName, LocalTimeInTheFixedPatternWithEveryFieldPadded) {
    testsupport::ScopedEnvironment environment;
    environment.set("TZ", "Asia/Tokyo");
    EXPECT_EQ(velmora::sessionFolderName(recordingStart), "2025-03-04_090507");
    EXPECT_EQ(velmora::sessionFolderName(recordingStart + 999ms), "2025-03-04_090507");
    // New Year in Tokyo is still the old year in UTC.
    const auto newYear = std::chrono::sys_days{std::chrono::year(2024) / 12 / 31} + 15h;
    EXPECT_EQ(velmora::sessionFolderName(newYear), "2025-01-01_000000");
    EXPECT_EQ(velmora::sessionFolderName(newYear - 1ms), "2024-12-31_235959");
    environment.set("TZ", "UTC");
    EXPECT_EQ(velmora::sessionFolderName(recordingStart), "2025-03-04_000507");
}

TEST_F(RecordingSessionTest, ARecordingGetsAFolderNamedByItsLocalStartBothTracksAndTheMeter) {
    settings->setPreferredInputDeviceUID("usb-headset");
    world.mic->level = 0.25f;
    session->start();
    EXPECT_EQ(session->phase().value(), Phase::idle()) << "recording only once both recorders run";
    settle();

    ASSERT_EQ(session->phase().value(), Phase::recording());
    EXPECT_EQ(world.mic->files, std::vector<std::filesystem::path>{folder() / "mic.caf"});
    EXPECT_EQ(world.mic->preferredUID, "usb-headset");
    EXPECT_EQ(world.system->made, 1);
    EXPECT_EQ(sessiontest::folderContents(folder()), (std::vector<std::string>{"mic.caf", "system_capture.mp4"}));

    world.clock->advance(100ms);
    loop.advanceTime(100ms);
    EXPECT_DOUBLE_EQ(session->elapsedSeconds().value(), 0.1);
    EXPECT_EQ(session->micLevel().value(), 0.25f);
    world.clock->advance(150ms);
    loop.advanceTime(100ms);
    EXPECT_DOUBLE_EQ(session->elapsedSeconds().value(), 0.25);

    session->start(); // while recording: nothing
    EXPECT_EQ(world.mic->starts, 1);

    stopRecording();
    EXPECT_EQ(session->phase().value(), Phase::idle());
    EXPECT_EQ(session->micLevel().value(), 0.0f);
    EXPECT_DOUBLE_EQ(session->elapsedSeconds().value(), 0.25) << "the length stays after the stop";
    EXPECT_EQ(session->pendingTranscriptions().value(), 1);
    EXPECT_EQ(world.mic->stops, 1);
    EXPECT_EQ(world.system->stops, 1);
    world.clock->advance(1s);
    loop.advanceTime(1s);
    EXPECT_DOUBLE_EQ(session->elapsedSeconds().value(), 0.25) << "no meter after the stop";

    session->stop(); // while idle: nothing
    EXPECT_EQ(world.mic->stops, 1);
    waitForJobs();
}

TEST_F(RecordingSessionTest, TenGigabytesFreeRecordsOneByteLessRefusesAndUnknownNeverBlocks) {
    world.availableBytes = 9'999'999'999;
    startRecording();
    EXPECT_EQ(session->phase().value(), Phase::failed(lowSpace));
    EXPECT_TRUE(std::filesystem::is_directory(settings->saveDirectory())) << "the save folder is made first";
    EXPECT_TRUE(std::filesystem::is_empty(settings->saveDirectory())) << "but no session folder";
    EXPECT_EQ(world.mic->starts, 0);
    EXPECT_EQ(world.system->made, 0);

    world.availableBytes = 10'000'000'000;
    startRecording();
    EXPECT_EQ(session->phase().value(), Phase::recording());
    stopRecording();

    world.spaceUnknown = true;
    world.clock->advance(1s);
    startRecording();
    EXPECT_EQ(session->phase().value(), Phase::recording());
    EXPECT_TRUE(std::filesystem::exists(folder("2025-03-04_090508") / "mic.caf"));
    stopRecording();
    waitForJobs();
}

TEST_F(RecordingSessionTest, MicrophoneWriteFailuresFailTheStopAndQueueNothing) {
    startRecording();
    world.mic->failures = 3;
    stopRecording();
    EXPECT_EQ(session->phase().value(),
              Phase::failed("マイクの書き込みに3回失敗しました。マイクのフォーマットが録音中に変化した可能性があります"
                            "（Bluetoothデバイスで起きやすい）。詳細: 不明"));
    EXPECT_EQ(session->pendingTranscriptions().value(), 0);
    EXPECT_EQ(world.mic->stops, 1);
    EXPECT_EQ(world.system->stops, 1);

    world.clock->advance(1s);
    session->reset();
    startRecording();
    world.mic->failures = 1;
    world.mic->lastError = std::make_exception_ptr(std::runtime_error("Input/output error"));
    stopRecording();
    EXPECT_EQ(session->phase().value().message.substr(session->phase().value().message.size() - 26),
              "詳細: Input/output error");

    loop.runUntilIdle();
    EXPECT_TRUE(world.converter->calls.empty());
    EXPECT_EQ(sessiontest::folderContents(folder()), (std::vector<std::string>{"mic.caf", "system_capture.mp4"}));
}

TEST_F(RecordingSessionTest, AFailedStartStopsTheMicrophoneAndResetClearsOnlyThePhaseTimeAndError) {
    world.system->startError = std::make_exception_ptr(std::runtime_error("キャプチャ可能なディスプレイが見つかりません"));
    startRecording();
    EXPECT_EQ(session->phase().value(),
              Phase::failed("録音を開始できませんでした: キャプチャ可能なディスプレイが見つかりません"));
    EXPECT_EQ(world.mic->starts, 1);
    EXPECT_EQ(world.mic->stops, 1) << "the running microphone is stopped again";
    EXPECT_TRUE(std::filesystem::exists(folder() / "mic.caf")) << "nothing is undone";

    std::vector<std::string> untouched;
    session->transcriptText().subscribe([&](const std::string& text) { untouched.push_back(text); });
    session->transcriptProgress().subscribe([&](const std::string& text) { untouched.push_back(text); });
    session->reset();
    EXPECT_EQ(session->phase().value(), Phase::idle());
    EXPECT_EQ(session->elapsedSeconds().value(), 0);
    EXPECT_EQ(session->transcriptionError().value(), std::nullopt);
    EXPECT_TRUE(untouched.empty());

    world.system->startError = nullptr;
    world.mic->startError = std::make_exception_ptr(std::runtime_error("no default input"));
    world.clock->advance(1s);
    startRecording();
    EXPECT_EQ(session->phase().value(), Phase::failed("録音を開始できませんでした: no default input"));
    EXPECT_EQ(world.system->made, 1) << "no system recorder without a running microphone";
    EXPECT_EQ(world.mic->stops, 2);

    // A save folder that cannot be made (a file in its way) fails the start before any recorder.
    world.mic->startError = nullptr;
    std::filesystem::remove_all(settings->saveDirectory());
    testsupport::writeFile(settings->saveDirectory(), "not a folder");
    startRecording();
    EXPECT_EQ(session->phase().value().message.rfind("録音を開始できませんでした: ", 0), 0u);
    EXPECT_EQ(world.mic->starts, 2);
}

TEST_F(RecordingSessionTest, StartsStopsAndResetsWhileTheRecordersAreBusyAreIgnored) {
    world.system->startGate.close();
    session->start();
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.system->startGate.waiting() == 1; }));
    session->start(); // the hot key during the wait
    session->reset();
    session->stop();
    world.system->startGate.open();
    settle();
    EXPECT_EQ(session->phase().value(), Phase::recording());
    EXPECT_EQ(world.mic->starts, 1);
    EXPECT_EQ(world.system->made, 1);

    world.system->stopGate.close();
    session->stop();
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.system->stopGate.waiting() == 1; }));
    EXPECT_EQ(session->phase().value(), Phase::recording()) << "until both recorders have stopped";
    session->stop();
    session->start();
    session->reset();
    world.system->stopGate.open();
    settle();
    EXPECT_EQ(session->phase().value(), Phase::idle());
    EXPECT_EQ(session->pendingTranscriptions().value(), 1) << "the folder is queued once";
    EXPECT_EQ(world.mic->stops, 1);
    EXPECT_EQ(world.system->stops, 1);
    waitForJobs();
    EXPECT_EQ(world.converter->calls.size(), 3u);
}

TEST_F(RecordingSessionTest, RecordingsStartedWithinOneSecondGetTheirOwnFolders) {
    world.converter->gate.close(); // the first recording's raw files are still waiting for conversion
    startRecording();
    stopRecording();
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.converter->gate.waiting() == 1; }));
    world.clock->advance(400ms);
    startRecording();
    stopRecording();
    // A folder left over from elsewhere also just moves the name on.
    std::filesystem::create_directory(folder("2025-03-04_090509"));
    startRecording();

    EXPECT_EQ(world.mic->files, (std::vector<std::filesystem::path>{folder() / "mic.caf",
                                                                     folder("2025-03-04_090508") / "mic.caf",
                                                                     folder("2025-03-04_090510") / "mic.caf"}));
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090508")),
              (std::vector<std::string>{"mic.caf", "system_capture.mp4"}));
    stopRecording();
    world.converter->gate.open();
    waitForJobs();
    for (const char* name : {"2025-03-04_090507", "2025-03-04_090508", "2025-03-04_090510"}) {
        EXPECT_EQ(sessiontest::folderContents(folder(name)),
                  (std::vector<std::string>{"recording.m4a", "transcript.json", "transcript.txt"}))
            << name;
    }
}
