#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"

#include "OrvaneCore/Text/Normalization.h"
#include "Sonavex/Utilities/Extensions/StringExtensions.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace sonavex {

namespace {

constexpr float kSampleRate = 16000.0f;

TranscriptionSegment shifted(const TranscriptionSegment& segment, int64_t seekOffset, float seconds) {
    TranscriptionSegment copy = segment;
    copy.seek += seekOffset;
    copy.start += seconds;
    copy.end += seconds;
    if (copy.words) {
        for (WordTiming& word : *copy.words) {
            word.start += seconds;
            word.end += seconds;
        }
    }
    return copy;
}

std::size_t agreeingPrefixLength(const std::vector<WordTiming>& a, const std::vector<WordTiming>& b) {
    const std::size_t limit = std::min(a.size(), b.size());
    std::size_t length = 0;
    while (length < limit &&
           orvane::text::canonicallyEquivalent(normalized(a[length].word), normalized(b[length].word))) {
        ++length;
    }
    return length;
}

// Each field reduced over the results the way the merged transcription should report it: moments by
// their earliest, load times by their longest (the loads were shared), work by its sum.
TranscriptionTimings mergedTimings(const std::vector<TranscriptionTimings>& all) {
    TranscriptionTimings merged;
    if (all.empty()) {
        merged.pipelineStart = 0;
        merged.firstTokenTime = 0;
        merged.inputAudioSeconds = 0;
        return merged;
    }
    auto smallest = [&](double TranscriptionTimings::*field) {
        double value = all.front().*field;
        for (const auto& timings : all) {
            value = std::min(value, timings.*field);
        }
        return value;
    };
    auto largest = [&](double TranscriptionTimings::*field) {
        double value = all.front().*field;
        for (const auto& timings : all) {
            value = std::max(value, timings.*field);
        }
        return value;
    };
    auto sum = [&](double TranscriptionTimings::*field) {
        double value = 0;
        for (const auto& timings : all) {
            value += timings.*field;
        }
        return value;
    };
    using T = TranscriptionTimings;
    merged.pipelineStart = smallest(&T::pipelineStart);
    merged.firstTokenTime = smallest(&T::firstTokenTime);
    merged.inputAudioSeconds = sum(&T::inputAudioSeconds);
    for (auto field : {&T::modelLoading, &T::prewarmLoadTime, &T::encoderLoadTime, &T::decoderLoadTime,
                       &T::tokenizerLoadTime}) {
        merged.*field = largest(field);
    }
    merged.encoderSpecializationTime = 0;
    merged.decoderSpecializationTime = 0;
    for (auto field : {&T::audioLoading,
                       &T::audioProcessing,
                       &T::logmels,
                       &T::encoding,
                       &T::decodingInit,
                       &T::decodingLoop,
                       &T::decodingPredictions,
                       &T::decodingFiltering,
                       &T::decodingSampling,
                       &T::decodingFallback,
                       &T::decodingWindowing,
                       &T::decodingKvCaching,
                       &T::decodingWordTimestamps,
                       &T::decodingNonPrediction,
                       &T::totalAudioProcessingRuns,
                       &T::totalLogmelRuns,
                       &T::totalEncodingRuns,
                       &T::totalDecodingLoops,
                       &T::totalKVUpdateRuns,
                       &T::totalTimestampAlignmentRuns,
                       &T::totalDecodingFallbacks,
                       &T::totalDecodingWindows}) {
        merged.*field = sum(field);
    }
    // Pieces run side by side overlap: the wall-clock span from the earliest start to the latest end
    // is the better figure when it is the smaller one.
    double latestEnd = -std::numeric_limits<double>::infinity();
    for (const auto& timings : all) {
        latestEnd = std::max(latestEnd, timings.pipelineStart + timings.fullPipeline);
    }
    merged.fullPipeline = std::min(sum(&T::fullPipeline), latestEnd - merged.pipelineStart);
    return merged;
}

} // namespace

TranscriptionSegment TranscriptionUtilities::updateSegmentTimings(const TranscriptionSegment& segment,
                                                                  float seekTime) {
    return shifted(segment, static_cast<int64_t>(seekTime * kSampleRate), seekTime);
}

TranscriptionSegment TranscriptionUtilities::updateSegmentTimings(const TranscriptionSegment& segment,
                                                                  int64_t seekOffsetIndex) {
    return shifted(segment, seekOffsetIndex, static_cast<float>(seekOffsetIndex) / kSampleRate);
}

std::vector<std::string>
TranscriptionUtilities::formatSegments(const std::vector<TranscriptionSegment>& segments,
                                       bool withTimestamps) {
    std::vector<std::string> lines;
    lines.reserve(segments.size());
    for (const TranscriptionSegment& segment : segments) {
        if (withTimestamps) {
            lines.push_back("[" + formatNumber("%.2f", segment.start) + " --> " +
                            formatNumber("%.2f", segment.end) + "] " + segment.text);
        } else {
            lines.push_back(segment.text);
        }
    }
    return lines;
}

std::vector<WordTiming> TranscriptionUtilities::findLongestCommonPrefix(const std::vector<WordTiming>& a,
                                                                        const std::vector<WordTiming>& b) {
    return {b.begin(), b.begin() + static_cast<std::ptrdiff_t>(agreeingPrefixLength(a, b))};
}

std::vector<WordTiming> TranscriptionUtilities::findLongestDifferentSuffix(const std::vector<WordTiming>& a,
                                                                           const std::vector<WordTiming>& b) {
    return {b.begin() + static_cast<std::ptrdiff_t>(agreeingPrefixLength(a, b)), b.end()};
}

std::shared_ptr<TranscriptionResult> TranscriptionUtilities::mergeTranscriptionResults(
    const std::vector<std::shared_ptr<TranscriptionResult>>& results,
    const std::optional<std::vector<WordTiming>>& confirmedWords) {
    std::string text;
    if (confirmedWords) {
        for (const WordTiming& word : *confirmedWords) {
            text += word.word;
        }
    } else {
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (i > 0) {
                text += ' ';
            }
            if (results[i]) {
                text += results[i]->text();
            }
        }
    }

    std::vector<TranscriptionSegment> segments;
    std::vector<TranscriptionTimings> timings;
    std::optional<std::string> language;
    int64_t presentIndex = 0;
    for (const auto& result : results) {
        if (!result) {
            continue;
        }
        std::vector<TranscriptionSegment> own = result->segments();
        for (std::size_t j = 0; j < own.size(); ++j) {
            own[j].id = presentIndex + static_cast<int64_t>(j);
            segments.push_back(std::move(own[j]));
        }
        if (!language) {
            language = result->language();
        }
        timings.push_back(result->timings());
        ++presentIndex;
    }
    return TranscriptionResult::make(std::move(text), std::move(segments), language.value_or("en"),
                                     mergedTimings(timings));
}

} // namespace sonavex
