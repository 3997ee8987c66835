#pragma once
// The result's JSON encoding, pretty-printed with keys in record order. A non-finite number fails the
// write (JSON has no form for it) and nothing is written; the file is replaced atomically.

#include "Sonavex/Utilities/ResultWriting.h"

namespace sonavex {

class WriteJSON : public ResultWriting {
public:
    /// The folder is neither checked nor created.
    explicit WriteJSON(std::string outputDir) : outputDir_(std::move(outputDir)) {}

    const std::string& outputDir() const override { return outputDir_; }
    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;

private:
    std::string outputDir_;
};

} // namespace sonavex
