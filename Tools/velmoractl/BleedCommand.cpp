// velmoractl bleed ME.json MIC SYS [--threshold X] [--max-lag S]: the microphone segments of ME.json
// that are not the system audio leaking into the microphone, as one JSON array. The defaults are the
// recording session's: threshold 0.5, largest shift 0.3 s.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "SegmentFiles.h"
#include "ToolOutput.h"
#include "VelmoraCore/Transcription/MicBleedFilter.h"

namespace {

using velmoractl::UsageError;

int bleed(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine line(arguments, {"--threshold", "--max-lag"});
    if (line.positional().size() != 3) {
        throw UsageError("bleed needs ME.json MIC SYS");
    }
    const auto threshold = line.option("--threshold");
    const auto maxLag = line.option("--max-lag");
    const auto segments = velmora::MicBleedFilter::removeBleedSegments(
        velmoractl::readSegments(line.positional()[0]), line.positional()[1], line.positional()[2],
        threshold ? velmoractl::finiteFloat("--threshold", *threshold) : 0.5f,
        maxLag ? velmoractl::finiteFloat("--max-lag", *maxLag) : 0.3f);
    velmoractl::JsonArray kept;
    for (const velmora::TranscriptSegment& segment : segments) {
        kept.raw(velmoractl::segmentJson(segment).text());
    }
    velmoractl::printLine(kept);
    return velmoractl::exitSuccess;
}

const bool registered =
    velmoractl::registerCommandGroup({"bleed", "bleed ME.json MIC SYS [--threshold X] [--max-lag S]", bleed});

} // namespace
