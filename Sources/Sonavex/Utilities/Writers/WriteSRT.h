#pragma once
// A SubRip subtitle file: one numbered block per segment, or per word for segments with words,
// numbered 1, 2, 3 … over the whole file; written atomically in UTF-8.

#include "Sonavex/Utilities/Writers/OutputFolderWriter.h"

namespace sonavex {

class WriteSRT : public OutputFolderWriter {
public:
    using OutputFolderWriter::OutputFolderWriter;

    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;
};

} // namespace sonavex
