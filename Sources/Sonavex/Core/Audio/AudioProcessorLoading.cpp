// File loading of AudioProcessor: whole files, stretches, pieces and several files at once.

#include "OrvaneCore/Concurrency/ConcurrencyUtilities.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <limits>
#include <new>
#include <stdexcept>
#include <thread>

namespace sonavex {

namespace {

constexpr std::int64_t maxFrameCount = std::numeric_limits<std::uint32_t>::max();
// 16 kHz samples a byte of file is assumed to carry at most when memory is reserved up front: 2 KB a
// second, a bit rate far below any real recording's.
constexpr std::uintmax_t samplesPerFileByte = 8;

void requireExistingFile(const std::string& path) {
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) {
        throw WhisperError::loadAudioFailed("Resource path does not exist " + path);
    }
}

/// A time as a frame index of the file: truncated toward zero, at most `length`.
std::int64_t frameAt(double seconds, double rate, std::int64_t length) {
    double frame = std::trunc(seconds * rate);
    return frame >= static_cast<double>(length) ? length : static_cast<std::int64_t>(frame);
}

/// Frame counts are 32-bit: a longer stretch is refused rather than wrapped.
void checkFrameCount(std::int64_t frames) {
    if (frames > maxFrameCount) {
        throw WhisperError::loadAudioFailed("Audio stretch too long: " + std::to_string(frames) +
                                            " frames, at most 4294967295 can be loaded at once");
    }
}

void checkTimes(std::optional<double> startTime, std::optional<double> endTime) {
    auto bad = [](std::optional<double> time) { return time && !(std::isfinite(*time) && *time >= 0); };
    if (bad(startTime) || bad(endTime)) {
        throw WhisperError::loadAudioFailed("Invalid time range: times must be finite and not negative");
    }
}

/// Reads `frameCount` frames of a mono file from its read position, topping up a read that came back short.
AudioProcessor::Buffer readFully(audio::AudioFileReader& file, std::uint32_t frameCount) {
    auto buffer = audio::PcmBuffer::create(file.processingFormat(), frameCount);
    if (!buffer) {
        throw WhisperError::loadAudioFailed("Unable to create audio buffer");
    }
    file.read(*buffer, frameCount);
    while (buffer->frameLength() < frameCount) {
        // A file that ends before its stated length has shortened it: nothing is left to top up with.
        const std::int64_t left = file.length() - file.framePosition();
        if (left <= 0) {
            break;
        }
        auto missing =
            static_cast<std::uint32_t>(std::min<std::int64_t>(frameCount - buffer->frameLength(), left));
        auto more = audio::PcmBuffer::create(file.processingFormat(), missing);
        if (!more) {
            throw WhisperError::loadAudioFailed("Unable to create audio buffer");
        }
        if (file.read(*more, missing) == 0) {
            break;
        }
        std::memcpy(buffer->channel(0) + buffer->frameLength(), more->channel(0),
                    more->frameLength() * sizeof(float));
        buffer->setFrameLength(buffer->frameLength() + more->frameLength());
    }
    return buffer;
}

/// Channel 0 of the buffer appended to `samples` chunk by chunk, each chunk cleared in the buffer once
/// copied.
void appendBufferToArray(audio::PcmBuffer& buffer, int chunkSize, std::vector<float>& samples) {
    if (chunkSize < 1) {
        throw std::invalid_argument("convertBufferToArray: the chunk size must be at least 1, not " +
                                    std::to_string(chunkSize));
    }
    if (buffer.channelCount() == 0) {
        return;
    }
    const std::uint32_t frames = buffer.frameLength();
    float* source = buffer.channel(0);
    // The offset is 64-bit: near the largest frame count a 32-bit one would wrap past the end and start over.
    for (std::uint64_t offset = 0; offset < frames; offset += static_cast<std::uint64_t>(chunkSize)) {
        auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(chunkSize), frames - offset));
        samples.insert(samples.end(), source + offset, source + offset + count);
        std::fill(source + offset, source + offset + count, 0.0f);
    }
}

std::string detailsLine(const char* prefix, double rate, std::uint32_t channels, std::int64_t frames) {
    return std::string(prefix) + " - Sample Rate: " + orvane::describing(rate) +
           " Hz, Channel Count: " + std::to_string(channels) + ", Frame Length: " + std::to_string(frames) +
           ", Duration: " + orvane::describing(frames / rate) + "s";
}

/// A file found cut short or with samples replaced is news for whoever runs the load, not just for the
/// log: the note goes to the log when it shows info, else to standard error, where a tool that keeps the
/// log quiet still shows it. A caller that takes the FileLoadReport tells it in its own words instead.
void noteAboutFile(const std::string& text, bool callerTells) {
    if (Logging::isLoggingEnabled(Logging::LogLevel::info)) {
        Logging::info(text);
    } else if (!callerTells) {
        std::cerr << text + "\n" << std::flush;
    }
}

void warnIfEndsEarly(const audio::AudioFileReader& file, bool callerTells) {
    if (file.length() < file.statedLength()) {
        noteAboutFile("Warning: audio file " + file.path().string() + " ends early: it holds " +
                          std::to_string(file.length()) + " of the " + std::to_string(file.statedLength()) +
                          " frames its header states; loading the " + std::to_string(file.length()),
                      callerTells);
    }
}

void logReplaced(const audio::AudioFileReader& file, std::int64_t count, bool callerTells) {
    if (count > 0) {
        noteAboutFile("Replaced " + std::to_string(count) + " non-finite or out-of-range samples in " +
                          file.path().string(),
                      callerTells);
    }
}

/// The stretch as 16 kHz mono, without the load's reports.
AudioProcessor::Buffer loadStretch(audio::AudioFileReader& fromFile,
                                   const AudioProcessor::ChannelMode& channelMode,
                                   std::optional<double> startTime, std::optional<double> endTime,
                                   std::optional<std::uint32_t> maxReadFrameSize) {
    checkTimes(startTime, endTime);
    const double rate = fromFile.fileFormat().sampleRate;
    const std::uint32_t channels = fromFile.fileFormat().channelCount;
    const std::int64_t length = fromFile.length();
    const std::int64_t start = frameAt(startTime.value_or(0), rate, length);
    const std::int64_t end = endTime ? frameAt(*endTime, rate, length) : length;
    // A start at or past the end gives an empty stretch.
    const std::int64_t frames = std::max<std::int64_t>(end - start, 0);
    checkFrameCount(frames);
    fromFile.setFramePosition(start);

    AudioProcessor::Buffer buffer;
    if (rate == AudioProcessor::targetSampleRate && channels == 1) {
        try {
            buffer = readFully(fromFile, static_cast<std::uint32_t>(frames));
        } catch (const std::exception& error) {
            throw WhisperError::loadAudioFailed(std::string("Failed to read audio file: ") + error.what());
        }
    } else {
        buffer = AudioProcessor::resampleAudio(
            fromFile, AudioProcessor::targetSampleRate, 1, channelMode, static_cast<std::uint32_t>(frames),
            maxReadFrameSize.value_or(Constants::defaultAudioReadFrameSize));
        if (!buffer) {
            throw WhisperError::loadAudioFailed("Failed to process audio buffer");
        }
    }
    Logging::debug(detailsLine("Audio source details", rate, channels, fromFile.length()));
    Logging::debug(detailsLine("Audio buffer details", buffer->format().sampleRate, buffer->channelCount(),
                               buffer->frameLength()));
    Logging::logCurrentMemoryUsage("After loadAudio function");
    return buffer;
}

} // namespace

AudioProcessor::Buffer AudioProcessor::loadAudio(const std::string& fromPath, const ChannelMode& channelMode,
                                                 std::optional<double> startTime,
                                                 std::optional<double> endTime,
                                                 std::optional<std::uint32_t> maxReadFrameSize) {
    requireExistingFile(fromPath);
    audio::AudioFileReader file(fromPath);
    return loadAudio(file, channelMode, startTime, endTime, maxReadFrameSize);
}

AudioProcessor::Buffer AudioProcessor::loadAudio(audio::AudioFileReader& fromFile,
                                                 const ChannelMode& channelMode,
                                                 std::optional<double> startTime,
                                                 std::optional<double> endTime,
                                                 std::optional<std::uint32_t> maxReadFrameSize) {
    checkTimes(startTime, endTime);
    const std::int64_t nonFiniteBefore = fromFile.nonFiniteSamples();
    const std::int64_t start =
        frameAt(startTime.value_or(0), fromFile.fileFormat().sampleRate, fromFile.length());
    auto buffer = loadStretch(fromFile, channelMode, startTime, endTime, maxReadFrameSize);
    // Only the stretch that runs into the early end says so; stretches past it are simply empty.
    if (start < fromFile.length() || start == 0) {
        warnIfEndsEarly(fromFile, false);
    }
    logReplaced(fromFile, fromFile.nonFiniteSamples() - nonFiniteBefore, false);
    return buffer;
}

namespace {

std::vector<float> loadWholeFile(const std::string& fromPath, const AudioProcessor::ChannelMode& channelMode,
                                 std::optional<double> startTime, std::optional<double> endTime,
                                 AudioProcessor::FileLoadReport& report, bool callerTells) {
    requireExistingFile(fromPath);
    audio::AudioFileReader file(fromPath);
    checkTimes(startTime, endTime);
    const double rate = file.fileFormat().sampleRate;
    double time = startTime.value_or(0);
    double end = std::min(file.length() / rate, endTime.value_or(file.length() / rate));

    std::vector<float> result;
    if (time < end) {
        checkFrameCount(frameAt(end, rate, file.length()) - frameAt(time, rate, file.length()));
        // One allocation for the whole result: growing it piece by piece would briefly hold it twice.
        // The length is the header's word, so no more is reserved than the file's bytes could carry even
        // at a very low bit rate; audio beyond that (or a header that lies) grows the result as it comes.
        auto samples =
            static_cast<std::size_t>(std::ceil((end - time) * AudioProcessor::targetSampleRate)) + 1;
        std::error_code unknown;
        const auto bytes = std::filesystem::file_size(fromPath, unknown);
        if (!unknown) {
            samples =
                static_cast<std::size_t>(std::min<std::uintmax_t>(samples, bytes * samplesPerFileByte + 1));
        }
        try {
            result.reserve(samples);
        } catch (const std::bad_alloc&) {
            throw WhisperError::loadAudioFailed("Not enough memory to load " + std::to_string(samples) +
                                                " samples");
        }
    }
    while (time < end) {
        // Both ends of a piece come from the same time value, so adjacent pieces meet at one frame.
        double pieceStart = time;
        time = std::min(end, time + AudioProcessor::pieceDurationSeconds);
        auto piece = loadStretch(file, channelMode, pieceStart, time, std::nullopt);
        // Flattened straight into the result: a copy per piece would hold the piece twice.
        appendBufferToArray(*piece, AudioProcessor::flattenChunkSize, result);
        // A file that ends before its stated length has nothing more to give.
        end = std::min(end, file.length() / rate);
    }
    warnIfEndsEarly(file, callerTells);
    logReplaced(file, file.nonFiniteSamples(), callerTells);
    report = {file.statedLength(), file.length(), file.nonFiniteSamples()};
    return result;
}

} // namespace

std::vector<float> AudioProcessor::loadAudioAsFloatArray(const std::string& fromPath,
                                                         const ChannelMode& channelMode,
                                                         std::optional<double> startTime,
                                                         std::optional<double> endTime) {
    FileLoadReport report;
    return loadWholeFile(fromPath, channelMode, startTime, endTime, report, false);
}

std::vector<float> AudioProcessor::loadAudioAsFloatArray(const std::string& fromPath,
                                                         const ChannelMode& channelMode,
                                                         std::optional<double> startTime,
                                                         std::optional<double> endTime,
                                                         FileLoadReport& report) {
    return loadWholeFile(fromPath, channelMode, startTime, endTime, report, true);
}

std::vector<Result<std::vector<float>>> AudioProcessor::loadAudio(const std::vector<std::string>& at,
                                                                  const ChannelMode& channelMode) {
    std::vector<std::optional<Result<std::vector<float>>>> slots(at.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t index = next++; index < at.size(); index = next++) {
            try {
                slots[index] = Result<std::vector<float>>::success(
                    loadAudioAsFloatArray(at[index], channelMode, 0.0, std::nullopt));
            } catch (...) {
                slots[index] = Result<std::vector<float>>::currentFailure();
            }
        }
    };
    // Files load side by side, as many at a time as there are processors.
    std::size_t workers =
        std::min<std::size_t>(at.size(), std::max(1, orvane::ConcurrencyUtilities::activeProcessorCount()));
    std::vector<std::jthread> threads;
    for (std::size_t i = 1; i < workers; ++i) {
        threads.emplace_back(work);
    }
    work();
    threads.clear();

    std::vector<Result<std::vector<float>>> results;
    results.reserve(at.size());
    for (auto& slot : slots) {
        results.push_back(std::move(*slot));
    }
    return results;
}

AudioProcessor::Buffer AudioProcessor::loadAudioAsync(const std::string& fromPath) {
    return loadAudio(fromPath, AudioInputOptions::SumChannels{}, 0.0, std::nullopt, std::nullopt);
}

std::vector<float> AudioProcessor::convertBufferToArray(audio::PcmBuffer& buffer, int chunkSize) {
    std::vector<float> result;
    result.reserve(buffer.frameLength());
    appendBufferToArray(buffer, chunkSize, result);
    return result;
}

std::optional<ml::MultiArray> AudioProcessor::padOrTrimAudio(const std::vector<float>& fromArray, int startAt,
                                                             int toLength, bool saveSegment) {
    if (startAt < 0 || static_cast<std::size_t>(startAt) >= fromArray.size()) {
        Logging::error("startIndex is outside the buffer size");
        return std::nullopt;
    }
    if (toLength < 1) {
        throw std::invalid_argument("padOrTrimAudio: the length must be at least 1, not " +
                                    std::to_string(toLength));
    }
    std::size_t endIndex =
        std::min(static_cast<std::size_t>(startAt) + static_cast<std::size_t>(toLength), fromArray.size());
    // The new array is zero-filled: what is not copied is the padding.
    ml::MultiArray array({toLength}, ml::MultiArrayDataType::Float32);
    std::copy(fromArray.begin() + startAt, fromArray.begin() + static_cast<std::ptrdiff_t>(endIndex),
              array.elements<float>().begin());
    return array;
}

} // namespace sonavex
