// Audio files as the engine and the recording's conversions read them: any bytes, under a name the first
// byte picks (the media library weighs the extension when it guesses the container), load as 16 kHz mono
// and stream through the block resampler, or are refused with the audio layer's or the engine's error,
// in bounded time and memory.

#include "Fuzz/FuzzSupport.h"
#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/ResamplingReader.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const char* const names[] = {"in.wav", "in.caf", "in.m4a", "in.mp3"};
    const auto path = fuzz::writeScratch(names[data[0] % 4],
                                         std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    try {
        sonavex::AudioProcessor::FileLoadReport report;
        const auto samples = sonavex::AudioProcessor::loadAudioAsFloatArray(
            path.string(), sonavex::AudioInputOptions::SumChannels{}, 0.0, std::nullopt, report);
        if (report.heldFrames > report.statedFrames || report.heldFrames < 0) {
            std::abort();
        }
        (void)samples;
    } catch (const audio::AudioFileError&) {
    } catch (const sonavex::WhisperError&) {
    }

    try {
        audio::ResamplingReader reader(audio::AudioFileReader(path), 16000);
        auto block = audio::PcmBuffer::create(reader.format(), 4096);
        std::int64_t delivered = 0;
        while (const std::uint32_t frames = reader.read(*block)) {
            delivered += frames;
        }
        if (delivered != reader.length()) {
            std::abort();
        }
    } catch (const audio::AudioFileError&) {
    }
    return 0;
}
