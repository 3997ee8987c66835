#pragma once
// Where the recording session gets its transcriber: the program's asks the shared transcriber store;
// tests and velmoractl's --fake-transcriber answer without a model. Any thread.

#include "VelmoraCore/Recording/TrackTranscriber.h"

#include <memory>
#include <stop_token>
#include <string>

namespace velmora {

class SessionTranscription {
public:
    virtual ~SessionTranscription() = default;

    /// True when a transcriber for `modelName` is already loaded and kept.
    virtual bool isLoaded(const std::string& modelName) const = 0;
    /// The transcriber for `modelName`, loaded (and downloaded) when needed and then kept. Throws the
    /// load's error; orvane::CancellationError once `stop` is requested.
    virtual std::shared_ptr<TrackTranscriber> transcriber(const std::string& modelName,
                                                          std::stop_token stop) = 0;
};

} // namespace velmora
