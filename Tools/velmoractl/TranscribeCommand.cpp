// velmoractl transcribe FILE [--threshold T] [--model NAME] [--endpoint URL] [--plan-only]: one track
// through the transcriber. Standard output holds the transcriber's debug lines, then one line per
// segment, or with --plan-only one line per padded chunk (sample indexes) and no model is loaded.
// Model preparation progress goes to standard error. Threshold and model default to the settings.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "SegmentFiles.h"
#include "ToolOutput.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Transcription/Transcriber.h"

#include <iostream>

namespace {

using velmoractl::UsageError;

int transcribe(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine line(arguments, {"--threshold", "--model", "--endpoint"}, {"--plan-only"});
    if (line.positional().size() != 1) {
        throw UsageError(line.positional().empty() ? "missing FILE"
                                                   : "unexpected argument " + line.positional()[1]);
    }
    const std::string& file = line.positional().front();
    const velmora::AppSettings settings(velmora::DefaultsStore::standard());
    const float threshold = line.option("--threshold")
                                ? velmoractl::vadThresholdArgument("--threshold", *line.option("--threshold"))
                                : settings.vadThreshold().value();

    if (line.flag("--plan-only")) {
        for (const velmora::SampleRange& chunk :
             velmora::Transcriber::planTrack(file, threshold, std::cout).chunks) {
            velmoractl::printLine(
                velmoractl::JsonObject().integer("start", chunk.start).integer("end", chunk.end));
        }
        return velmoractl::exitSuccess;
    }

    velmora::EngineAccess access;
    if (auto endpoint = line.option("--endpoint")) {
        access.endpoint = *endpoint;
    }
    const std::string model = line.option("--model").value_or(settings.modelName().value());
    const velmora::Transcriber transcriber(
        model,
        [](const velmora::TranscriberPreparationProgress& progress) {
            velmoractl::progress(progress.kind == velmora::TranscriberPreparationProgress::Kind::downloading
                                     ? "downloading " + velmoractl::numberText(progress.fraction)
                                     : std::string("optimizing"));
        },
        access);
    for (const velmora::TranscriptSegment& segment : transcriber.transcribe(file, threshold)) {
        velmoractl::printLine(velmoractl::segmentJson(segment));
    }
    return velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup(
    {"transcribe", "transcribe FILE [--threshold T] [--model NAME] [--endpoint URL] [--plan-only]",
     transcribe});

} // namespace
