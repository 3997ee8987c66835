#include "Sonavex/Core/Text/GreedyTokenSampler.h"

#include "Platform/ML/Whisper/TensorOps.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Logging/Logging.h"

#include <cmath>
#include <stdexcept>
#include <sys/random.h>

namespace sonavex {

namespace {
[[noreturn]] void failSampling(const std::string& reason) {
    const std::string message = "Sampling error: " + reason;
    Logging::error(message);
    throw WhisperError::decodingFailed(message);
}
} // namespace

uint32_t systemRandomBits() {
    uint32_t bits = 0;
    auto* target = reinterpret_cast<char*>(&bits);
    std::size_t filled = 0;
    while (filled < sizeof bits) {
        const ssize_t got = getrandom(target + filled, sizeof bits - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
    }
    return bits;
}

GreedyTokenSampler::GreedyTokenSampler(ml::Float16 temperature, int64_t eotToken,
                                       DecodingOptions decodingOptions)
    : GreedyTokenSampler(temperature, eotToken, std::move(decodingOptions), systemRandomBits) {}

GreedyTokenSampler::GreedyTokenSampler(ml::Float16 temperature, int64_t eotToken,
                                       DecodingOptions decodingOptions, RandomSource randomSource)
    : temperature(temperature), eotToken(eotToken), decodingOptions(std::move(decodingOptions)),
      randomSource_(std::move(randomSource)) {}

float GreedyTokenSampler::uniform() const {
    return static_cast<float>(randomSource_() >> 8) * 0x1p-24f;
}

GreedyTokenSampler::Choice GreedyTokenSampler::choose(const ml::MultiArray& logits) const {
    std::vector<float> scaled = ml::toFloats(logits.elements<ml::Float16>());
    if (scaled.empty()) {
        failSampling("the logits are empty");
    }
    const float divisor = static_cast<float>(temperature);
    if (divisor != 0.0f) {
        for (float& value : scaled) {
            value /= divisor;
        }
    }
    const std::vector<float> probabilities = ml::softmax(std::span<const float>(scaled));
    if (std::isnan(probabilities[0])) {
        failSampling("the logits hold no distribution (every logit is minus infinity, or one is NaN)");
    }
    if (divisor == 0.0f) {
        const int64_t token = ml::argmax(std::span<const float>(scaled));
        return {token, std::log(probabilities[static_cast<std::size_t>(token)])};
    }
    if (decodingOptions.topK < 1) {
        failSampling("topK must be at least 1 above temperature 0, not " +
                     std::to_string(decodingOptions.topK));
    }
    const ml::TopK best = ml::topK(probabilities, decodingOptions.topK);
    float total = 0;
    for (float value : best.values) {
        total += value;
    }
    // The first place whose running sum reaches the draw; the first place when none does.
    const float draw = total * uniform();
    const std::vector<float> running = ml::cumulativeSum(best.values);
    std::size_t chosen = 0;
    for (std::size_t place = 0; place < running.size(); ++place) {
        if (running[place] >= draw) {
            chosen = place;
            break;
        }
    }
    return {best.indices[chosen], std::log(best.values[chosen])};
}

SamplingResult GreedyTokenSampler::update(const std::vector<int64_t>& tokens, const ml::MultiArray& logits,
                                          const std::vector<float>& logProbs) {
    const Choice choice = choose(logits);
    SamplingResult result{tokens, logProbs, choice.token == eotToken};
    result.tokens.push_back(choice.token);
    result.logProbs.push_back(choice.logProb);
    return result;
}

SamplingResult GreedyTokenSampler::finalize(const std::vector<int64_t>& tokens,
                                            const std::vector<float>& logProbs) {
    SamplingResult result{tokens, logProbs, true};
    if (tokens.empty() || tokens.back() != eotToken) {
        result.tokens.push_back(eotToken);
        result.logProbs.push_back(0.0f);
    }
    return result;
}

} // namespace sonavex
