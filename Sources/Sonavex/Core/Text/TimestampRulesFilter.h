#pragma once
// The timestamp grammar: no "<|notimestamps|>" once sampling runs with timestamps, timestamps come in
// pairs (a lone one closes a segment and must be followed by text or the end, two in a row by text),
// they never decrease, and a timestamp is forced when together the timestamps are likelier than any
// single text token.

#include "Sonavex/Core/Text/LogitsFiltering.h"
#include "Sonavex/Core/Tokenizer/SpecialTokens.h"

#include <optional>

namespace sonavex {

class TimestampRulesFilter : public LogitsFiltering {
public:
    /// maxInitialTimestampIndex is carried for callers; no rule here reads it.
    TimestampRulesFilter(SpecialTokens specialTokens, int64_t sampleBegin,
                         std::optional<int64_t> maxInitialTimestampIndex, bool isModelMultilingual);

    std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                 const std::vector<int64_t>& tokens) override;

    const SpecialTokens specialTokens;
    const int64_t sampleBegin;
    const std::optional<int64_t> maxInitialTimestampIndex;
    const bool isModelMultilingual;

private:
    /// Where the rules start: sampleBegin for an English-only model; for a multilingual one, after the
    /// task token among the first three tokens (at least sampleBegin), none without one.
    std::optional<int64_t> sampleBeginFor(const std::vector<int64_t>& tokens) const;

    /// Whether the timestamps' probabilities together, as a log-sum-exp of the log-soft-max, beat the best
    /// other token's log-probability; both rounded to half precision, strictly greater (NaN: false).
    static bool sumOfProbabilityOverTimestampsIsAboveAnyOtherToken(const ml::MultiArray& logits,
                                                                   int64_t timeTokenBegin);
};

} // namespace sonavex
