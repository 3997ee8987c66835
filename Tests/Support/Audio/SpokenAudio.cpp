#include "Support/Audio/SpokenAudio.h"

#include "Support/Audio/AudioTestFiles.h"
#include "Support/TestSupport.h"

#include <stdexcept>

namespace audiotest {

namespace {

/// espeak-ng's own rate is 22,050 Hz; sox brings the phrase to the engine's 16 kHz mono.
std::vector<float> spoken(const std::string& phrase, const testsupport::TemporaryDirectory& folder) {
    const auto raw = folder / "phrase.wav";
    const auto converted = folder / "phrase16k.wav";
    const std::string command = "espeak-ng -w '" + raw.string() + "' '" + phrase + "' && sox '" +
                                raw.string() + "' -r 16000 -c 1 -e floating-point -b 32 '" +
                                converted.string() + "'";
    if (testsupport::runCommand(command + " 2>&1") != 0) {
        throw std::runtime_error("espeak-ng or sox failed on \"" + phrase +
                                 "\" (scripts/install-deps installs both)");
    }
    return readBack(converted).planes.at(0);
}

} // namespace

SpokenAudio speakWithPauses(const std::vector<std::string>& phrases, std::int64_t pause,
                            std::int64_t leadingSilence) {
    testsupport::TemporaryDirectory folder;
    SpokenAudio audio;
    audio.samples.assign(std::size_t(leadingSilence), 0.0f);
    for (const auto& phrase : phrases) {
        auto samples = spoken(phrase, folder);
        const auto start = std::int64_t(audio.samples.size());
        audio.samples.insert(audio.samples.end(), samples.begin(), samples.end());
        audio.phrases.emplace_back(start, std::int64_t(audio.samples.size()));
        audio.samples.insert(audio.samples.end(), std::size_t(pause), 0.0f);
    }
    return audio;
}

} // namespace audiotest
