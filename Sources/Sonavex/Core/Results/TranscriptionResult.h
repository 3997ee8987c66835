#pragma once
// What the engine heard in one audio input. The pipeline keeps writing into a result while others may
// already read it, so it is shared through std::shared_ptr and every field sits behind its own lock: one
// field access is atomic, a read of two fields is no consistent snapshot of both.

#include "OrvaneCore/Concurrency/PropertyLock.h"
#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sonavex {

class TranscriptionResult {
public:
    TranscriptionResult(std::string text, std::vector<TranscriptionSegment> segments, std::string language,
                        TranscriptionTimings timings, std::optional<float> seekTime = std::nullopt);
    TranscriptionResult(const TranscriptionResult&) = delete;
    TranscriptionResult& operator=(const TranscriptionResult&) = delete;

    static std::shared_ptr<TranscriptionResult> make(std::string text,
                                                     std::vector<TranscriptionSegment> segments,
                                                     std::string language, TranscriptionTimings timings,
                                                     std::optional<float> seekTime = std::nullopt);

    // Each getter copies under the field's lock, each setter replaces under it. Each modifier runs
    // `change(Field&)` with the lock held, as one critical section, so concurrent appends never lose one
    // another; `change` must not touch this result.
    std::string text() const { return text_.get(); }
    void setText(std::string text) { text_.set(std::move(text)); }
    template <class Change> decltype(auto) modifyText(Change&& change) {
        return text_.modify(std::forward<Change>(change));
    }

    std::vector<TranscriptionSegment> segments() const { return segments_.get(); }
    void setSegments(std::vector<TranscriptionSegment> segments) { segments_.set(std::move(segments)); }
    template <class Change> decltype(auto) modifySegments(Change&& change) {
        return segments_.modify(std::forward<Change>(change));
    }

    std::string language() const { return language_.get(); }
    void setLanguage(std::string language) { language_.set(std::move(language)); }
    template <class Change> decltype(auto) modifyLanguage(Change&& change) {
        return language_.modify(std::forward<Change>(change));
    }

    TranscriptionTimings timings() const { return timings_.get(); }
    void setTimings(TranscriptionTimings timings) { timings_.set(timings); }
    template <class Change> decltype(auto) modifyTimings(Change&& change) {
        return timings_.modify(std::forward<Change>(change));
    }

    std::optional<float> seekTime() const { return seekTime_.get(); }
    void setSeekTime(std::optional<float> seekTime) { seekTime_.set(seekTime); }
    template <class Change> decltype(auto) modifySeekTime(Change&& change) {
        return seekTime_.modify(std::forward<Change>(change));
    }

    /// Every word of every segment, in order; segments without words add none.
    std::vector<WordTiming> allWords() const;

    /// "[Segment i] [start --> end] text" per segment, times with two decimals.
    std::vector<std::string> segmentLogLines() const;
    /// Each of segmentLogLines() at debug level.
    void logSegments() const;
    /// The timings report of this result's timings and the token count of its segments.
    std::string timingsReport() const;
    /// timingsReport() as one message at info level.
    void logTimings() const;

private:
    orvane::PropertyLock<std::string> text_;
    orvane::PropertyLock<std::vector<TranscriptionSegment>> segments_;
    orvane::PropertyLock<std::string> language_;
    orvane::PropertyLock<TranscriptionTimings> timings_;
    orvane::PropertyLock<std::optional<float>> seekTime_;
};

/// Keys "text", "segments", "language", "timings", "seekTime", each field read under its lock; "seekTime"
/// is always written, as null when absent.
void to_json(nlohmann::ordered_json& json, const TranscriptionResult& result);
/// All five keys are required ("seekTime" may be null); throws orvane::DecodingError.
std::shared_ptr<TranscriptionResult> transcriptionResultFromJson(const nlohmann::ordered_json& json);

} // namespace sonavex
