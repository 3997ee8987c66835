#pragma once
// A WebVTT subtitle file: the "WEBVTT" header, then one cue per segment, or per word for segments
// with words; written atomically in UTF-8.

#include "Sonavex/Utilities/ResultWriting.h"

namespace sonavex {

class WriteVTT : public ResultWriting {
public:
    /// The folder is neither checked nor created.
    explicit WriteVTT(std::string outputDir) : outputDir_(std::move(outputDir)) {}

    const std::string& outputDir() const override { return outputDir_; }
    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;

private:
    std::string outputDir_;
};

} // namespace sonavex
