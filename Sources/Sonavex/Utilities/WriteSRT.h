#pragma once
// A SubRip subtitle file: one numbered block per segment, or per word for segments with words,
// numbered 1, 2, 3 … over the whole file; written atomically in UTF-8.

#include "Sonavex/Utilities/ResultWriting.h"

namespace sonavex {

class WriteSRT : public ResultWriting {
public:
    /// The folder is neither checked nor created.
    explicit WriteSRT(std::string outputDir) : outputDir_(std::move(outputDir)) {}

    const std::string& outputDir() const override { return outputDir_; }
    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;

private:
    std::string outputDir_;
};

} // namespace sonavex
