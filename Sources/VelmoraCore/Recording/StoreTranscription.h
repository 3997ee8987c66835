#pragma once
// The session's transcription through a TranscriberStore: the store's transcribers, loaded once and
// shared with the first-run set-up and the model preload.

#include "VelmoraCore/Recording/SessionTranscription.h"

namespace velmora {

class TranscriberStore;

class StoreTranscription final : public SessionTranscription {
public:
    /// The store must outlive this object.
    explicit StoreTranscription(TranscriberStore& store);

    bool isLoaded(const std::string& modelName) const override;
    std::shared_ptr<TrackTranscriber> transcriber(const std::string& modelName, std::stop_token stop) override;

private:
    TranscriberStore& store_;
};

} // namespace velmora
