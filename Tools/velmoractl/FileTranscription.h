#pragma once
// velmoractl's stand-in for a model: transcribes "mic.m4a" with the "me" segments and "system.m4a" with
// the "other" segments of a JSON file {"me": […], "other": […]} (segments as `transcript write` reads
// them), handing each to the segment callback as a transcriber would. Counts as loaded once asked for.

#include "VelmoraCore/Recording/SessionTranscription.h"

#include <atomic>
#include <string>
#include <vector>

namespace velmoractl {

class FileTranscription final : public velmora::SessionTranscription {
public:
    /// Reads the file now; an unreadable or malformed file is an InputError.
    explicit FileTranscription(const std::string& path);

    bool isLoaded(const std::string& modelName) const override;
    std::shared_ptr<velmora::TrackTranscriber> transcriber(const std::string& modelName,
                                                           std::stop_token stop) override;

private:
    std::vector<velmora::TranscriptSegment> me_;
    std::vector<velmora::TranscriptSegment> other_;
    std::atomic<bool> loaded_{false};
};

} // namespace velmoractl
