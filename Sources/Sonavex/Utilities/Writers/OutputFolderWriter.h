#pragma once
// What the three result writers share: the output folder they are bound to and the atomic file write.

#include "Sonavex/Utilities/Writers/ResultWriting.h"

#include <string>

namespace sonavex {

class OutputFolderWriter : public ResultWriting {
public:
    /// The folder is neither checked nor created.
    explicit OutputFolderWriter(std::string outputDir) : outputDir_(std::move(outputDir)) {}

    const std::string& outputDir() const override { return outputDir_; }

protected:
    /// Writes `contents` atomically to outputDir/`name` (any earlier file stays intact on failure) and
    /// returns the file's address.
    Result<std::string> writeFile(const std::string& name, const std::string& contents) const;

private:
    std::string outputDir_;
};

} // namespace sonavex
