#include "OrvaneCore/Concurrency/LockedAccess.h"
#include "OrvaneCore/Logging/Describing.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace sonavex {

std::string AudioProcessor::BufferEnergy::description() const {
    return "(rel: " + orvane::describing(rel) + ", avg: " + orvane::describing(avg) +
           ", max: " + orvane::describing(max) + ", min: " + orvane::describing(min) + ")";
}

std::vector<float> AudioProcessor::audioSamples() const {
    return orvane::lockedCopy(stateLock_, audioSamples_);
}

std::vector<AudioProcessor::BufferEnergy> AudioProcessor::audioEnergy() const {
    return orvane::lockedCopy(stateLock_, audioEnergy_);
}

std::vector<float> AudioProcessor::relativeEnergy() const {
    std::lock_guard guard(stateLock_);
    std::vector<float> energies;
    energies.reserve(audioEnergy_.size());
    for (const auto& energy : audioEnergy_) {
        energies.push_back(energy.rel);
    }
    return energies;
}

void AudioProcessor::purgeAudioSamples(int64_t keepingLast) {
    if (keepingLast < 0) {
        throw std::invalid_argument("purgeAudioSamples: the count to keep must not be negative, not " +
                                    std::to_string(keepingLast));
    }
    std::lock_guard guard(stateLock_);
    if (audioSamples_.size() > static_cast<std::size_t>(keepingLast)) {
        audioSamples_.erase(audioSamples_.begin(), audioSamples_.end() - keepingLast);
    }
}

int AudioProcessor::relativeEnergyWindow() const {
    return orvane::lockedCopy(stateLock_, relativeEnergyWindow_);
}

void AudioProcessor::setRelativeEnergyWindow(int window) {
    orvane::lockedStore(stateLock_, relativeEnergyWindow_, window);
}

int AudioProcessor::minBufferLength() const {
    return orvane::lockedCopy(stateLock_, minBufferLength_);
}

void AudioProcessor::setMinBufferLength(int frames) {
    orvane::lockedStore(stateLock_, minBufferLength_, frames);
}

AudioProcessor::BufferCallback AudioProcessor::audioBufferCallback() const {
    return orvane::lockedCopy(stateLock_, audioBufferCallback_);
}

void AudioProcessor::setAudioBufferCallback(BufferCallback callback) {
    orvane::lockedStore(stateLock_, audioBufferCallback_, std::move(callback));
}

void AudioProcessor::suppressInputIfNeeded(std::vector<float>& samples) const {
    if (inputSuppressed_) {
        std::fill(samples.begin(), samples.end(), 0.0f);
    }
}

void AudioProcessor::processBuffer(const std::vector<float>& buffer) {
    const Energy measured = calculateEnergy(buffer);
    BufferCallback callback;
    std::optional<std::string> sizeLine;
    {
        std::lock_guard guard(stateLock_);
        audioSamples_.insert(audioSamples_.end(), buffer.begin(), buffer.end());

        // Against the quietest recent buffer; the first buffer has none and gets 0.
        float reference = std::numeric_limits<float>::infinity();
        const std::size_t recent = std::min(audioEnergy_.size(), energyReferenceBuffers);
        for (auto entry = audioEnergy_.end() - static_cast<std::ptrdiff_t>(recent);
             entry != audioEnergy_.end(); ++entry) {
            reference = std::min(reference, entry->avg);
        }
        const BufferEnergy energy{calculateRelativeEnergy(buffer, reference), measured.avg, measured.max,
                                  measured.min};
        audioEnergy_.push_back(energy);
        callback = audioBufferCallback_;

        const int64_t logPeriod = int64_t{minBufferLength_} * relativeEnergyWindow_;
        if (logPeriod > 0 && audioSamples_.size() % static_cast<uint64_t>(logPeriod) == 0) {
            sizeLine = "Current audio size: " + std::to_string(audioSamples_.size()) +
                       " samples, most recent buffer: " + std::to_string(buffer.size()) +
                       " samples, most recent energy: " + energy.description();
        }
    }
    if (callback) {
        callback(buffer);
    }
    if (sizeLine) {
        Logging::debug(*sizeLine);
    }
}

std::shared_ptr<AudioProcessorOutputType> AudioProcessor::padOrTrim(const std::vector<float>& fromArray,
                                                                    int startAt, int toLength) {
    auto window = padOrTrimAudio(fromArray, startAt, toLength);
    if (!window) {
        return nullptr;
    }
    return StageArray::make(std::make_shared<ml::MultiArray>(std::move(*window)));
}

} // namespace sonavex
