#include "Sonavex/Core/Text/TimestampRulesFilter.h"

#include "Platform/ML/Whisper/TensorOps.h"
#include "Sonavex/Core/Text/LogitsSuppression.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sonavex {

TimestampRulesFilter::TimestampRulesFilter(SpecialTokens specialTokens, int64_t sampleBegin,
                                           std::optional<int64_t> maxInitialTimestampIndex,
                                           bool isModelMultilingual)
    : specialTokens(specialTokens), sampleBegin(sampleBegin),
      maxInitialTimestampIndex(maxInitialTimestampIndex), isModelMultilingual(isModelMultilingual) {}

std::optional<int64_t> TimestampRulesFilter::sampleBeginFor(const std::vector<int64_t>& tokens) const {
    if (!isModelMultilingual) {
        return sampleBegin;
    }
    const std::size_t reach = std::min<std::size_t>(tokens.size(), 3);
    for (std::size_t position = 0; position < reach; ++position) {
        if (tokens[position] == specialTokens.transcribeToken ||
            tokens[position] == specialTokens.translateToken) {
            return std::max(static_cast<int64_t>(position) + 1, sampleBegin);
        }
    }
    return std::nullopt;
}

std::shared_ptr<ml::MultiArray> TimestampRulesFilter::filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                                   const std::vector<int64_t>& tokens) {
    const std::optional<int64_t> start = sampleBeginFor(tokens);
    if (!start || static_cast<int64_t>(tokens.size()) < *start) {
        return logits;
    }
    const int64_t timeTokenBegin = specialTokens.timeTokenBegin;
    const int64_t count = logits->count();
    suppressTokenIds(*logits, {specialTokens.noTimestampsToken});

    const std::vector<int64_t> sampled(tokens.begin() + *start, tokens.end());
    if (!sampled.empty()) {
        const bool lastIsTimestamp = sampled.back() >= timeTokenBegin;
        const bool penultimateIsTimestamp =
            sampled.size() == 1 || sampled[sampled.size() - 2] >= timeTokenBegin;
        if (lastIsTimestamp) {
            if (penultimateIsTimestamp) {
                suppressTokenRange(*logits, timeTokenBegin, count);
            } else {
                suppressTokenRange(*logits, 0, specialTokens.endToken);
            }
        }
        // Timestamps never decrease; after a pair's first half the same time may close it.
        const auto lastTimestamp = std::find_if(sampled.rbegin(), sampled.rend(),
                                                [&](int64_t token) { return token >= timeTokenBegin; });
        if (lastTimestamp != sampled.rend()) {
            const int64_t bound =
                lastIsTimestamp && !penultimateIsTimestamp ? *lastTimestamp : *lastTimestamp + 1;
            suppressTokenRange(*logits, timeTokenBegin, bound);
        }
    }
    if (sumOfProbabilityOverTimestampsIsAboveAnyOtherToken(*logits, timeTokenBegin)) {
        suppressTokenRange(*logits, 0, timeTokenBegin);
    }
    return logits;
}

bool TimestampRulesFilter::sumOfProbabilityOverTimestampsIsAboveAnyOtherToken(const ml::MultiArray& logits,
                                                                              int64_t timeTokenBegin) {
    const std::vector<float> logProbs = ml::logSoftmax(logits.elements<ml::Float16>());
    const auto offset = static_cast<std::size_t>(std::clamp<int64_t>(timeTokenBegin, 0, logits.count()));
    const std::span<const float> timestamps = std::span<const float>(logProbs).subspan(offset);
    const std::span<const float> others = std::span<const float>(logProbs).first(offset);

    // log-sum-exp of the timestamps' log-probabilities: their top less that top's log-soft-max among them.
    float logSumExp = -std::numeric_limits<float>::infinity();
    if (!timestamps.empty()) {
        const auto top = static_cast<std::size_t>(ml::argmax(timestamps));
        logSumExp = std::isfinite(timestamps[top]) ? timestamps[top] - ml::logSoftmax(timestamps)[top]
                                                   : timestamps[top];
    }
    const float maxOther = others.empty() ? -std::numeric_limits<float>::infinity()
                                          : others[static_cast<std::size_t>(ml::argmax(others))];
    return static_cast<float>(ml::Float16(logSumExp)) > static_cast<float>(ml::Float16(maxOther));
}

} // namespace sonavex
