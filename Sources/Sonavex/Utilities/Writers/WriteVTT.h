#pragma once
// A WebVTT subtitle file: the "WEBVTT" header, then one cue per segment, or per word for segments
// with words; written atomically in UTF-8.

#include "Sonavex/Utilities/Writers/OutputFolderWriter.h"

namespace sonavex {

class WriteVTT : public OutputFolderWriter {
public:
    using OutputFolderWriter::OutputFolderWriter;

    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;
};

} // namespace sonavex
