#include "Platform/Audio/Files/AacFileWriter.h"
#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/EncoderSetupError.h"
#include "Platform/Audio/Files/StreamingAacWriter.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using audio::AacFileWriter;
using testsupport::TemporaryDirectory;

using audiotest::expectClickAt;
using audiotest::planePointers;
using audiotest::sineWithClick;

template <class Writer> void writeInPieces(Writer& writer, const audiotest::Planes& planes, int64_t piece) {
    const auto frames = int64_t(planes[0].size());
    for (int64_t at = 0; at < frames; at += piece)
        writer.write(planePointers(planes, at).data(), std::min(piece, frames - at));
}

TEST(AacFileWriter, M4aReadsBackWithTheExactLengthAndNoShift) {
    TemporaryDirectory folder;
    for (const auto& [rate, channels] : {std::pair{48000, 1}, {44100, 2}, {16000, 1}}) {
        const int64_t frames = rate + 333; // not a whole number of AAC frames
        const int64_t click = rate / 2 + 7;
        const auto planes = sineWithClick(channels, frames, rate, click);
        const auto path = folder / ("out" + std::to_string(rate) + ".m4a");
        AacFileWriter writer(path, AacFileWriter::Container::m4a, rate, channels);
        writeInPieces(writer, planes, 4000);
        writer.finish();

        const auto back = audiotest::readBack(path);
        EXPECT_EQ(back.sampleRate, rate);
        ASSERT_EQ(back.planes.size(), size_t(channels));
        EXPECT_EQ(int64_t(back.planes[0].size()), frames) << rate << " Hz";
        expectClickAt(back, click);
    }
}

TEST(AacFileWriter, RefusesFormatsAacCannotCarryAsASetUpFailure) {
    TemporaryDirectory folder;
    EXPECT_THROW(AacFileWriter(folder / "a.m4a", AacFileWriter::Container::m4a, 47000, 2), audio::EncoderSetupError);
    EXPECT_THROW(AacFileWriter(folder / "b.m4a", AacFileWriter::Container::m4a, 48000, 0), audio::EncoderSetupError);
    EXPECT_THROW(AacFileWriter(folder / "c.m4a", AacFileWriter::Container::m4a, 48000, 9), audio::EncoderSetupError);
    EXPECT_FALSE(std::filesystem::exists(folder / "a.m4a"));
    EXPECT_THROW(AacFileWriter(folder / "missing" / "d.m4a", AacFileWriter::Container::m4a, 48000, 2),
                 audio::AudioFileError);
}

// The encoder refuses input near the float limit with a bare "Invalid argument"; the error must say why.
TEST(AacFileWriter, InputTheEncoderRefusesFailsNamingTheEncodersCause) {
    TemporaryDirectory folder;
    const auto path = folder / "loud.m4a";
    audiotest::Planes planes(1, std::vector<float>(48000, 3.4e38f));
    try {
        AacFileWriter writer(path, AacFileWriter::Container::m4a, 48000, 1);
        writeInPieces(writer, planes, 4096);
        writer.finish();
        ADD_FAILURE() << "encoded samples of 3.4e38";
    } catch (const audio::AudioFileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot encode audio file " + path.string() +
                                                 ": Input contains (near) NaN/+-Inf (Invalid argument)");
    }
}

TEST(StreamingAacWriter, FragmentedFileFromAnotherThreadReadsBackExactAndUnshifted) {
    TemporaryDirectory folder;
    const auto path = folder / "system_capture.mp4";
    const int64_t frames = 3 * 48000 + 517;
    const int64_t click = 100000;
    const auto planes = sineWithClick(2, frames, 48000, click);
    audio::StreamingAacWriter writer(path, 48000, 2);
    std::thread capture([&] { writeInPieces(writer, planes, 480); });
    capture.join();
    EXPECT_EQ(writer.framesQueued(), frames);
    writer.close();
    writer.close();

    const auto back = audiotest::readBack(path);
    EXPECT_EQ(int64_t(back.planes[0].size()), frames);
    expectClickAt(back, click);
    EXPECT_THROW(writer.write(planePointers(planes).data(), 1), std::logic_error);
}

// The encoding thread's failure (here the file-size limit; on a user's machine a full disk) must reach
// the caller, not vanish with the thread.
TEST(StreamingAacWriter, AFailureOnTheEncodingThreadReachesTheCaller) {
    TemporaryDirectory folder;
    const auto planes = sineWithClick(2, 48000 * 4, 48000, 1000);
    audio::StreamingAacWriter writer(folder / "system_capture.mp4", 48000, 2);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 8000;
    setrlimit(RLIMIT_FSIZE, &limited);
    bool failed = false; // at a later write or at the latest when closing
    try {
        writeInPieces(writer, planes, 480);
        writer.close();
    } catch (const audio::AudioFileError&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(failed);
    EXPECT_THROW(writer.close(), audio::AudioFileError) << "and again, never a success later";
    EXPECT_THROW(writer.write(planePointers(planes).data(), 1), audio::AudioFileError);
}

TEST(StreamingAacWriter, AFileCutOffMidWritePlaysUpToItsLastFragment) {
    TemporaryDirectory folder;
    const auto path = folder / "system_capture.mp4";
    const int64_t click = 30000;
    const auto planes = sineWithClick(2, 48000 * 35 / 10, 48000, click);
    // The synchronous writer underneath the streaming one: after these writes every fragment cut so far
    // is in the file, as it would be when the process is killed now.
    AacFileWriter writer(path, AacFileWriter::Container::fragmentedMp4, 48000, 2);
    writeInPieces(writer, planes, 480);
    const auto bytes = testsupport::readFile(path);
    testsupport::writeFile(folder / "killed.mp4", bytes);
    testsupport::writeFile(folder / "torn.mp4", bytes.substr(0, bytes.size() - 1000));

    for (const char* name : {"killed.mp4", "torn.mp4"}) {
        const auto back = audiotest::readBack(folder / name);
        const auto length = int64_t(back.planes[0].size());
        EXPECT_GE(length, 48000 * 2) << name << ": at least the first two seconds";
        EXPECT_LE(length, int64_t(planes[0].size())) << name;
        expectClickAt(back, click);
    }
}

} // namespace
