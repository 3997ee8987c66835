#include "VelmoraCore/AudioCapture/Recording/SystemAudioMixer.h"

#include <algorithm>

namespace velmora {

void SystemAudioMixer::Input::consume(int64_t frames) {
    readFrame += size_t(frames);
    // Keep the buffer from creeping forward forever: move the unread rest to the front now and then.
    if (readFrame * channels * 2 > samples.size()) {
        samples.erase(samples.begin(), samples.begin() + std::ptrdiff_t(readFrame * channels));
        readFrame = 0;
    }
}

SystemAudioMixer::SystemAudioMixer(Output output) : output_(std::move(output)) {}

SystemAudioMixer::Input* SystemAudioMixer::find(uint32_t id) {
    auto found = std::find_if(inputs_.begin(), inputs_.end(), [id](const Input& input) { return input.id == id; });
    return found != inputs_.end() ? &*found : nullptr;
}

const SystemAudioMixer::Input* SystemAudioMixer::find(uint32_t id) const {
    return const_cast<SystemAudioMixer*>(this)->find(id);
}

void SystemAudioMixer::addInput(uint32_t input) {
    if (find(input) != nullptr) {
        return;
    }
    inputs_.push_back(Input{input, {}, 0, false});
    if (!leader_) {
        leader_ = input;
    }
}

void SystemAudioMixer::removeInput(uint32_t input) {
    auto found = std::find_if(inputs_.begin(), inputs_.end(), [input](const Input& i) { return i.id == input; });
    if (found == inputs_.end()) {
        return;
    }
    inputs_.erase(found);
    if (leader_ != input) {
        return;
    }
    leader_.reset();
    if (inputs_.empty()) {
        return;
    }
    auto fullest = std::max_element(inputs_.begin(), inputs_.end(), [](const Input& a, const Input& b) {
        return a.available() < b.available();
    });
    setLeader(fullest->id);
}

void SystemAudioMixer::setLeader(uint32_t input) {
    Input* next = find(input);
    if (next == nullptr || leader_ == input) {
        return;
    }
    if (Input* previous = leader_ ? find(*leader_) : nullptr) {
        previous->joined = false; // it follows from now on, after a cushion of its own
    }
    leader_ = input;
    const int64_t frames = next->available();
    next->joined = false;
    if (frames > 0) {
        std::vector<float> buffered(next->samples.begin() + std::ptrdiff_t(next->readFrame * channels),
                                    next->samples.end());
        next->samples.clear();
        next->readFrame = 0;
        emit(buffered.data(), frames);
    }
}

std::optional<uint32_t> SystemAudioMixer::leader() const {
    return leader_;
}

bool SystemAudioMixer::hasInput(uint32_t input) const {
    return find(input) != nullptr;
}

int64_t SystemAudioMixer::bufferedFrames(uint32_t input) const {
    const Input* found = find(input);
    return found != nullptr ? found->available() : 0;
}

void SystemAudioMixer::push(uint32_t input, const float* interleaved, int64_t frames) {
    Input* source = find(input);
    if (source == nullptr || frames <= 0) {
        return;
    }
    if (leader_ == input) {
        emit(interleaved, frames);
        return;
    }
    const size_t count = size_t(frames) * channels;
    if (interleaved != nullptr) {
        source->samples.insert(source->samples.end(), interleaved, interleaved + count);
    } else {
        source->samples.resize(source->samples.size() + count, 0.0f);
    }
    if (source->available() > limitFrames) {
        // Back to a cushion: one skip now instead of staying half a second late for good.
        source->consume(source->available() - cushionFrames);
    }
}

void SystemAudioMixer::catchUp(int64_t frames) {
    if (frames - framesOut_ <= gapFrames) {
        return;
    }
    // A second at a time: a sink silent for an hour must not cost an hour of samples in memory.
    while (framesOut_ < frames) {
        emit(nullptr, std::min<int64_t>(frames - framesOut_, sampleRate));
    }
}

void SystemAudioMixer::emit(const float* leaderSamples, int64_t frames) {
    left_.assign(size_t(frames), 0.0f);
    right_.assign(size_t(frames), 0.0f);
    if (leaderSamples != nullptr) {
        for (int64_t f = 0; f < frames; ++f) {
            left_[size_t(f)] = leaderSamples[f * channels];
            right_[size_t(f)] = leaderSamples[f * channels + 1];
        }
    }
    for (Input& follower : inputs_) {
        if (leader_ == follower.id) {
            continue;
        }
        if (!follower.joined && follower.available() >= cushionFrames) {
            follower.joined = true;
        }
        if (!follower.joined) {
            continue;
        }
        const int64_t taken = std::min(frames, follower.available());
        const float* samples = follower.samples.data() + follower.readFrame * channels;
        for (int64_t f = 0; f < taken; ++f) {
            left_[size_t(f)] += samples[f * channels];
            right_[size_t(f)] += samples[f * channels + 1];
        }
        follower.consume(taken);
        // Ran dry: it waits for a new cushion rather than joining in bits and gaps.
        if (taken < frames) {
            follower.joined = false;
        }
    }
    for (int64_t f = 0; f < frames; ++f) {
        left_[size_t(f)] = std::clamp(left_[size_t(f)], -1.0f, 1.0f);
        right_[size_t(f)] = std::clamp(right_[size_t(f)], -1.0f, 1.0f);
    }
    framesOut_ += frames;
    const float* planes[channels] = {left_.data(), right_.data()};
    if (output_) {
        output_(planes, frames);
    }
}

} // namespace velmora
