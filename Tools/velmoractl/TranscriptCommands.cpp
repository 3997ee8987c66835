// velmoractl transcript: merging two tracks' segments and writing the transcript files.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "SegmentFiles.h"
#include "ToolOutput.h"
#include "VelmoraCore/Transcripts/TranscriptWriter.h"

namespace {

using velmoractl::UsageError;

int run(const velmoractl::Arguments& arguments) {
    if (arguments.empty() || arguments[0] != "write") {
        throw UsageError(arguments.empty() ? "missing command" : "unknown command transcript " + arguments[0]);
    }
    const velmoractl::CommandLine line(velmoractl::Arguments(arguments.begin() + 1, arguments.end()),
                                       {"--me", "--other", "--dir"});
    if (!line.positional().empty()) {
        throw UsageError("unexpected argument " + line.positional().front());
    }
    const std::string mePath = line.requiredOption("--me");
    const std::string otherPath = line.requiredOption("--other");
    const std::filesystem::path folder = line.requiredOption("--dir");
    const auto me = velmoractl::readSegments(mePath);
    const auto other = velmoractl::readSegments(otherPath);
    const auto merged = velmora::TranscriptWriter::merge(me, other);
    // The JSON form checks every time before the text file is written, so a bad time leaves no half pair.
    velmora::TranscriptWriter::jsonTranscript(merged);
    velmora::TranscriptWriter::writeText(merged, folder / "transcript.txt");
    velmora::TranscriptWriter::writeJSON(merged, folder / "transcript.json");
    velmoractl::printLine(velmoractl::JsonObject()
                              .string("text", (folder / "transcript.txt").string())
                              .string("json", (folder / "transcript.json").string())
                              .integer("segments", static_cast<std::int64_t>(merged.size())));
    return velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup(
    {"transcript", "transcript write --me ME.json --other OTHER.json --dir OUT", run});

} // namespace
