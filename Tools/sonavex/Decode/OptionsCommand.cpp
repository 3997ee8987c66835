// sonavex options [--options O] [--seek-clips FRAMES] [--fallback FIRST,NOSPEECH,RATIO,AVGLOGPROB]
// The decoding options the initializer builds, and what they decide: the sample ranges to transcribe for
// an audio of FRAMES samples, and the fallback verdict for one window's figures.

#include "Arguments/OptionsArgument.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Sonavex/Core/Results/DecodingFallback.h"

#include <cmath>
#include <sstream>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex options [--options O] [--seek-clips FRAMES] [--fallback FIRST,NOSPEECH,RATIO,AVGLOGPROB]\n"
    "      {\"options\", \"seekClips\", \"fallback\"}; O is a file or JSON text starting with \"{\";\n"
    "      FIRST (0 or 1) says whether the first token's log-probability was too low\n";

Json fallbackJson(const DecodingOptions& options, const std::string& figures) {
    auto parts = splitList(figures, "--fallback");
    if (parts.size() != 4) {
        throw CommandLine::UsageError("--fallback takes FIRST,NOSPEECH,RATIO,AVGLOGPROB");
    }
    if (parts[0] != "0" && parts[0] != "1") {
        throw CommandLine::UsageError("--fallback: FIRST is 0 or 1, not " + parts[0]);
    }
    auto verdict = DecodingFallback::from(options, parts[0] == "1", parseFloatArgument(parts[1], "NOSPEECH"),
                                          parseFloatArgument(parts[2], "RATIO"),
                                          parseFloatArgument(parts[3], "AVGLOGPROB"));
    if (!verdict) {
        return nullptr;
    }
    Json fallback = Json::object();
    fallback["needsFallback"] = verdict->needsFallback;
    fallback["fallbackReason"] = verdict->fallbackReason;
    return fallback;
}

int run(CommandLine& commandLine) {
    auto optionsArgument = commandLine.takeOption("--options");
    auto seekClips = commandLine.takeOption("--seek-clips");
    auto fallback = commandLine.takeOption("--fallback");
    commandLine.finish();

    DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument) : DecodingOptions();
    Json line = Json::object();
    line["options"] = options;
    if (seekClips) {
        Json clips = Json::array();
        for (const SeekClip& clip : options.prepareSeekClips(parseIntArgument(*seekClips, "FRAMES"))) {
            clips.push_back(Json::array({clip.start, clip.end}));
        }
        line["seekClips"] = std::move(clips);
    }
    if (fallback) {
        line["fallback"] = fallbackJson(options, *fallback);
    }
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"options", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
