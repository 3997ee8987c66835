#include "Platform/Audio/Capture/FakeCaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "SonavexTests/LogCapture.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using sonavex::AudioProcessor;

namespace {

// A buffer whose every sample is `level`: its RMS, largest and smallest magnitude are all `level`.
std::vector<float> constant(float level, std::size_t count = 1600) {
    return std::vector<float>(count, level);
}

class AudioProcessorState : public ::testing::Test {
protected:
    std::shared_ptr<audio::FakeCaptureSource> source = std::make_shared<audio::FakeCaptureSource>();
    std::shared_ptr<AudioProcessor> processor = std::make_shared<AudioProcessor>(source);
};

} // namespace

TEST_F(AudioProcessorState, RelativeEnergyIsMeasuredAgainstTheQuietestOfTheLastTwentyBuffers) {
    EXPECT_EQ(processor->relativeEnergyWindow(), 20);
    EXPECT_EQ(processor->minBufferLength(), 1600);
    // Whatever the window says, the reference spans 20 buffers.
    processor->setRelativeEnergyWindow(3);
    processor->processBuffer(constant(0.001f)); // -60 dB, the quietest
    for (int i = 0; i < 21; ++i) {
        processor->processBuffer(constant(0.1f)); // -20 dB
    }
    auto energies = processor->audioEnergy();
    ASSERT_EQ(energies.size(), 22u);
    EXPECT_EQ(energies[0].rel, 0.0f) << "the first buffer has no reference";
    EXPECT_FLOAT_EQ(energies[0].avg, 0.001f);
    // Buffers 1 to 20 still see buffer 0 among their 20 predecessors: (-20 - -60) / 60.
    EXPECT_NEAR(energies[1].rel, 2.0f / 3.0f, 1e-4);
    EXPECT_NEAR(energies[20].rel, 2.0f / 3.0f, 1e-4);
    // Buffer 21's predecessors are buffers 1 to 20, all as loud as itself.
    EXPECT_NEAR(energies[21].rel, 0.0f, 1e-4);
    EXPECT_EQ(processor->relativeEnergy()[1], energies[1].rel);
    EXPECT_EQ(processor->audioSamples().size(), 22u * 1600);
}

TEST_F(AudioProcessorState, SuppressedInputArrivesAsSilenceAndPurgeKeepsTheNewestSamples) {
    processor->startRecordingLive();
    processor->setInputSuppressed(true);
    source->deliver(constant(0.5f, 3));
    processor->setInputSuppressed(false);
    source->deliver({1, 2, 3});
    EXPECT_EQ(processor->audioSamples(), (std::vector<float>{0, 0, 0, 1, 2, 3}));
    auto silent = processor->audioEnergy().at(0);
    EXPECT_EQ(silent.avg + silent.max + silent.min, 0.0f);

    processor->purgeAudioSamples(7);
    EXPECT_EQ(processor->audioSamples().size(), 6u);
    processor->purgeAudioSamples(2);
    EXPECT_EQ(processor->audioSamples(), (std::vector<float>{2, 3}));
    EXPECT_EQ(processor->audioEnergy().size(), 2u);
    EXPECT_THROW(processor->purgeAudioSamples(-1), std::invalid_argument);
}

TEST_F(AudioProcessorState, LogsTheSizeEveryBufferLengthTimesWindowSamples) {
    LogCapture log;
    for (int i = 0; i < 19; ++i) {
        processor->processBuffer(constant(0.5f));
    }
    EXPECT_TRUE(log.lines().empty());
    processor->processBuffer(constant(0.5f));
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Current audio size: 32000 samples, most recent buffer: 1600 "
                                       "samples, most recent energy: (rel: 0.0, avg: 0.5, max: 0.5, "
                                       "min: 0.5)"});

    processor->setRelativeEnergyWindow(1);
    processor->setMinBufferLength(800);
    processor->processBuffer(constant(0.5f, 400));
    processor->processBuffer(constant(0.5f, 400));
    EXPECT_EQ(log.lines().size(), 2u);
    EXPECT_EQ(
        log.lines().back().rfind("Current audio size: 32800 samples, most recent buffer: 400 samples", 0),
        0u);
    // A period of zero logs nothing rather than dividing by it.
    processor->setRelativeEnergyWindow(0);
    processor->processBuffer(constant(0.5f, 800));
    EXPECT_EQ(log.lines().size(), 2u);
}

TEST_F(AudioProcessorState, TheCallbackGetsEachBufferAndMayUseTheProcessor) {
    std::vector<std::size_t> seen;
    // Reading the state from inside the callback would deadlock if it were called under the lock.
    processor->setAudioBufferCallback([&](const std::vector<float>& buffer) {
        EXPECT_EQ(buffer.size(), 3u);
        seen.push_back(processor->audioSamples().size());
        processor->purgeAudioSamples(1);
    });
    processor->processBuffer({1, 2, 3});
    processor->processBuffer({4, 5, 6});
    EXPECT_EQ(seen, (std::vector<std::size_t>{3, 4}));
    EXPECT_EQ(processor->audioSamples(), std::vector<float>{6});
}

TEST_F(AudioProcessorState, ReadersOnOtherThreadsSeeWholeBuffersWhileCaptureWrites) {
    processor->startRecordingLive();
    constexpr int buffers = 400;
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < buffers; ++i) {
            source->deliver(constant(float(i)));
        }
        writing = false;
    });
    bool consistent = true;
    for (int reads = 0; writing || reads == 0; ++reads) {
        auto samples = processor->audioSamples();
        // Each copy is a run of whole buffers 0, 1, 2, … in order.
        consistent =
            consistent && samples.size() % 1600 == 0 && processor->relativeEnergy().size() <= buffers;
        for (std::size_t i = 0; consistent && i < samples.size(); i += 1600) {
            consistent = samples[i] == float(i / 1600) && samples[i + 1599] == float(i / 1600);
        }
    }
    writer.join();
    EXPECT_TRUE(consistent);
    EXPECT_EQ(processor->relativeEnergy().size(), std::size_t(buffers));
}
