#include "VelmoraCore/Recording/StoreTranscription.h"

#include "VelmoraCore/Transcription/TranscriberStore.h"

namespace velmora {

namespace {

class LoadedTranscriber final : public TrackTranscriber {
public:
    explicit LoadedTranscriber(std::shared_ptr<Transcriber> transcriber) : transcriber_(std::move(transcriber)) {}

    std::vector<TranscriptSegment> transcribe(const std::string& audioPath, float energyThreshold,
                                              const SegmentCallback& onSegment,
                                              std::stop_token stop) const override {
        return transcriber_->transcribe(audioPath, energyThreshold, onSegment, std::move(stop));
    }

private:
    std::shared_ptr<Transcriber> transcriber_;
};

} // namespace

StoreTranscription::StoreTranscription(TranscriberStore& store) : store_(store) {}

bool StoreTranscription::isLoaded(const std::string& modelName) const {
    return store_.isLoaded(modelName);
}

std::shared_ptr<TrackTranscriber> StoreTranscription::transcriber(const std::string& modelName,
                                                                  std::stop_token stop) {
    return std::make_shared<LoadedTranscriber>(store_.transcriber(modelName, std::move(stop)));
}

} // namespace velmora
