#pragma once
// The result's JSON encoding, pretty-printed with keys in record order. A non-finite number fails the
// write (JSON has no form for it) and nothing is written; the file is replaced atomically.

#include "Sonavex/Utilities/Writers/OutputFolderWriter.h"

namespace sonavex {

class WriteJSON : public OutputFolderWriter {
public:
    using OutputFolderWriter::OutputFolderWriter;

    Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) override;
};

} // namespace sonavex
