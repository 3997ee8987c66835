#pragma once
// The result writer of a format name, for the commands that write result files.

#include "Sonavex/Utilities/Writers/ResultWriting.h"

#include <memory>
#include <string>

namespace sonavex::tool {

/// WriteJSON, WriteSRT or WriteVTT for "json", "srt" or "vtt" into `outputDir`; throws
/// CommandLine::UsageError for any other name.
std::unique_ptr<ResultWriting> writerFor(const std::string& format, const std::string& outputDir);

} // namespace sonavex::tool
