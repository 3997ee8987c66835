#include "FileTranscription.h"

#include "SegmentFiles.h"
#include "ToolOutput.h"

#include "OrvaneCore/Errors/CancellationError.h"

#include <filesystem>
#include <nlohmann/json.hpp>

namespace velmoractl {

namespace {

class ScriptedTranscriber final : public velmora::TrackTranscriber {
public:
    ScriptedTranscriber(const std::vector<velmora::TranscriptSegment>& me,
                        const std::vector<velmora::TranscriptSegment>& other)
        : me_(me), other_(other) {}

    std::vector<velmora::TranscriptSegment> transcribe(const std::string& audioPath, float,
                                                       const SegmentCallback& onSegment,
                                                       std::stop_token stop) const override {
        if (!std::filesystem::is_regular_file(audioPath)) {
            throw std::runtime_error("cannot read " + audioPath);
        }
        const auto& segments = std::filesystem::path(audioPath).filename() == "mic.m4a" ? me_ : other_;
        for (const auto& segment : segments) {
            orvane::throwIfCancelled(stop);
            if (onSegment) {
                onSegment(segment);
            }
        }
        return segments;
    }

private:
    const std::vector<velmora::TranscriptSegment> me_;
    const std::vector<velmora::TranscriptSegment> other_;
};

} // namespace

FileTranscription::FileTranscription(const std::string& path) {
    const nlohmann::json document = readJsonFile(path);
    if (!document.is_object()) {
        throw InputError(path + ": expected {\"me\": [...], \"other\": [...]}");
    }
    for (const char* track : {"me", "other"}) {
        auto segments = document.find(track);
        (std::string(track) == "me" ? me_ : other_) =
            segments == document.end() ? std::vector<velmora::TranscriptSegment>{}
                                       : segmentsFromJson(*segments, path + ": \"" + track + "\"");
    }
}

bool FileTranscription::isLoaded(const std::string&) const {
    return loaded_;
}

std::shared_ptr<velmora::TrackTranscriber> FileTranscription::transcriber(const std::string&, std::stop_token stop) {
    orvane::throwIfCancelled(stop);
    loaded_ = true;
    return std::make_shared<ScriptedTranscriber>(me_, other_);
}

} // namespace velmoractl
