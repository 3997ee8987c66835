#include "Results/ResultWriters.h"

#include "CommandLine/CommandLine.h"
#include "Sonavex/Utilities/Writers/WriteJSON.h"
#include "Sonavex/Utilities/Writers/WriteSRT.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"

namespace sonavex::tool {

std::unique_ptr<ResultWriting> writerFor(const std::string& format, const std::string& outputDir) {
    if (format == "json") {
        return std::make_unique<WriteJSON>(outputDir);
    }
    if (format == "srt") {
        return std::make_unique<WriteSRT>(outputDir);
    }
    if (format == "vtt") {
        return std::make_unique<WriteVTT>(outputDir);
    }
    throw CommandLine::UsageError("the format is json, srt or vtt, not " + format);
}

} // namespace sonavex::tool
