#include "RecordingSessionFixture.h"

using namespace sessiontest;

namespace {

class PostProcessingTest : public RecordingSessionTest {
protected:
    PostProcessingTest() {
        session->transcriptProgress().subscribe([this](const std::string& text) { progress.push_back(text); });
        session->transcriptText().subscribe([this](const std::string& text) { texts.push_back(text); });
        session->transcriptionError().subscribe(
            [this](const std::optional<std::string>& error) { errors.push_back(error.value_or("none")); });
        session->pendingTranscriptions().subscribe([this](int count) { pending.push_back(count); });
    }

    /// One recording, stopped cleanly; the next one starts a second later so it gets a folder of its own.
    void record() {
        startRecording();
        ASSERT_EQ(session->phase().value(), Phase::recording());
        stopRecording();
        world.clock->advance(1s);
    }
    void waitForTheModelPreload() {
        ASSERT_TRUE(sessiontest::runUntil(
            loop, [this] { return world.transcription->isLoaded(settings->modelName().value()); }));
    }

    std::vector<std::string> progress;
    std::vector<std::string> texts;
    std::vector<std::string> errors;
    std::vector<int> pending;
};

const std::string converting = "音声を変換中…";
const std::string preparing = "文字起こしモデルを準備中…";
const std::string transcribingMe = "自分の発話を文字起こし中…";
const std::string transcribingOther = "相手の発話を文字起こし中…";
const std::string mixing = "音声をまとめています…";
const std::string finished = "完了";
const std::string cancelled = "キャンセルしました";

const std::vector<std::string> finishedFolder{"recording.m4a", "transcript.json", "transcript.txt"};
const std::vector<std::string> rawFolder{"mic.caf", "system_capture.mp4"};

} // namespace

TEST_F(PostProcessingTest, AJobShowsEveryStepAPreviewPerSegmentAndLeavesTheMixAndBothTranscripts) {
    world.transcription->keepsLoads = false;
    world.transcription->me = {{0.2, 0.6, "はい"}};
    world.transcription->other = {{0.1, 0.5, "もしもし"}};
    record();
    waitForJobs();

    EXPECT_EQ(progress, (std::vector<std::string>{converting, preparing, transcribingMe, transcribingOther, mixing,
                                                  finished}));
    EXPECT_EQ(texts, (std::vector<std::string>{"", "自分: はい", "自分: はい\n相手: もしもし",
                                               "相手: もしもし\n自分: はい"}))
        << "the preview in the order transcribed, then the transcript in time order";
    EXPECT_EQ(errors, (std::vector<std::string>{"none", "none"})) << "cleared by the start and by the job";
    EXPECT_EQ(pending, (std::vector<int>{1, 0}));
    EXPECT_EQ(session->lastFinishedFolder().value(), folder());
    EXPECT_EQ(sessiontest::folderContents(folder()), finishedFolder);
    EXPECT_EQ(testsupport::readFile(folder() / "transcript.txt"), "[00:00] 相手: もしもし\n[00:00] 自分: はい");
    const auto json = testsupport::readFile(folder() / "transcript.json");
    EXPECT_LT(json.find("\"speaker\" : \"相手\""), json.find("\"speaker\" : \"自分\""));
}

TEST_F(PostProcessingTest, WithTheModelAlreadyKeptTheProgressGoesFromConvertingToTheFirstTrack) {
    startRecording();
    waitForTheModelPreload(); // the start asks for the model while the recording runs
    stopRecording();
    waitForJobs();
    EXPECT_EQ(progress, (std::vector<std::string>{converting, transcribingMe, transcribingOther, mixing, finished}));
}

TEST_F(PostProcessingTest, NoSegmentsStillWriteEmptyTranscriptsAndMix) {
    record();
    waitForJobs();
    EXPECT_EQ(progress.back(), finished);
    EXPECT_EQ(session->transcriptText().value(), "");
    EXPECT_EQ(sessiontest::folderContents(folder()), finishedFolder);
    EXPECT_EQ(testsupport::readFile(folder() / "transcript.txt"), "");
    EXPECT_EQ(testsupport::readFile(folder() / "transcript.json"), "[]");
}

TEST_F(PostProcessingTest, TwoRecordingsInARowAreProcessedOneAfterTheOtherInTheOrderOfTheStops) {
    world.converter->gate.close();
    record();
    record();
    EXPECT_EQ(session->pendingTranscriptions().value(), 2);
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.converter->gate.waiting() == 1; }));
    {
        std::lock_guard lock(world.converter->mutex);
        EXPECT_EQ(world.converter->calls, std::vector<std::string>{"convert 2025-03-04_090507/mic.caf"})
            << "the second job waits for the first";
    }
    world.converter->gate.open();
    waitForJobs();

    EXPECT_EQ(world.converter->calls,
              (std::vector<std::string>{"convert 2025-03-04_090507/mic.caf",
                                        "convert 2025-03-04_090507/system_capture.mp4", "mix 2025-03-04_090507",
                                        "convert 2025-03-04_090508/mic.caf",
                                        "convert 2025-03-04_090508/system_capture.mp4", "mix 2025-03-04_090508"}));
    EXPECT_EQ(pending, (std::vector<int>{1, 2, 1, 0}));
    EXPECT_EQ(session->lastFinishedFolder().value(), folder("2025-03-04_090508"));
    EXPECT_EQ(sessiontest::folderContents(folder()), finishedFolder);
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090508")), finishedFolder);
}

TEST_F(PostProcessingTest, CancellingDuringAConversionEndsEveryQueuedJobAndALaterOneRunsAsUsual) {
    world.converter->gate.close();
    record();
    record();
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.converter->gate.waiting() == 1; }));
    session->cancelTranscription();
    EXPECT_EQ(session->pendingTranscriptions().value(), 2) << "each cancelled job counts itself down";
    waitForJobs();

    EXPECT_EQ(progress, (std::vector<std::string>{converting, cancelled, cancelled}))
        << "the second job ends at its first check, before converting";
    EXPECT_EQ(texts, (std::vector<std::string>{"", ""})) << "each job clears the preview when it begins";
    EXPECT_EQ(session->lastFinishedFolder().value(), folder("2025-03-04_090508"));
    EXPECT_EQ(world.converter->calls, std::vector<std::string>{"convert 2025-03-04_090507/mic.caf"});
    EXPECT_EQ(sessiontest::folderContents(folder()), rawFolder) << "nothing half-converted is left";
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090508")), rawFolder);

    world.converter->gate.open();
    record();
    waitForJobs();
    EXPECT_EQ(progress.back(), finished);
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090509")), finishedFolder);
}

TEST_F(PostProcessingTest, AFailedConversionReportsTheErrorKeepsTheRawFilesAndTheNextJobClearsIt) {
    world.converter->failOn = "2025-03-04_090507/system_capture.mp4";
    world.converter->gate.close();
    record();
    record();
    world.converter->gate.open();
    waitForJobs();

    const std::string failure = "文字起こしに失敗しました: 変換できません: system_capture.mp4";
    EXPECT_EQ(errors, (std::vector<std::string>{"none", "none", "none", failure, "none"}))
        << "two starts, the first job's clear and failure, the second job's clear";
    EXPECT_EQ(progress, (std::vector<std::string>{converting, "", converting, transcribingMe, transcribingOther,
                                                  mixing, finished}));
    EXPECT_EQ(sessiontest::folderContents(folder()),
              (std::vector<std::string>{"mic.caf", "mic.m4a", "system_capture.mp4"}));
    EXPECT_EQ(session->lastFinishedFolder().value(), folder("2025-03-04_090508"));
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090508")), finishedFolder);
}

TEST_F(PostProcessingTest, AModelThatCannotLoadOrATrackThatCannotBeTranscribedKeepsTheConvertedTracks) {
    world.transcription->failLoads = true;
    world.transcription->me = {{0.2, 0.6, "はい"}};
    record();
    waitForJobs();
    EXPECT_EQ(session->transcriptionError().value(),
              "文字起こしに失敗しました: model files missing for " + settings->modelName().value());
    EXPECT_EQ(session->transcriptProgress().value(), "");
    EXPECT_EQ(session->lastFinishedFolder().value(), std::nullopt);
    EXPECT_EQ(sessiontest::folderContents(folder()), (std::vector<std::string>{"mic.m4a", "system.m4a"}));

    world.transcription->failLoads = false;
    world.transcription->failTranscriptions = true;
    record();
    waitForJobs();
    EXPECT_EQ(session->transcriptionError().value(), "文字起こしに失敗しました: the engine gave up on mic.m4a");
    EXPECT_EQ(sessiontest::folderContents(folder("2025-03-04_090508")),
              (std::vector<std::string>{"mic.m4a", "system.m4a"}));
}

TEST_F(PostProcessingTest, ASessionReleasedWhileAJobRunsStopsItAndWaitsForItsThread) {
    world.converter->gate.close();
    record();
    ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return world.converter->gate.waiting() == 1; }));
    session.reset();
    loop.runUntilIdle(); // what the job posted finds no session and does nothing
    EXPECT_EQ(world.converter->calls.size(), 1u);
    EXPECT_EQ(sessiontest::folderContents(folder()), rawFolder);
}
