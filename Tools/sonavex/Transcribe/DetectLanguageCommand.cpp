// sonavex detect-language: the language spoken in the first window of an audio file or a sample file.

#include "Arguments/EngineArguments.h"
#include "Arguments/SampleFiles.h"
#include "CommandLine/CommandRegistry.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/StandardOutputToError.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex detect-language INPUT (--model-folder DIR | --model VARIANT [--repo OWNER/NAME]\n"
    "                         [--endpoint URL] [--download-base DIR])\n"
    "      {\"file\", \"language\", \"languageProbs\"}: the first 30 s of an audio file (channels summed) or\n"
    "      of a sample file (.f32, .npy)\n";

int run(CommandLine& commandLine) {
    SonavexConfig config;
    takeModelArguments(commandLine, config);
    const std::string input = commandLine.takePositional("INPUT");
    commandLine.finish();
    Sonavex::DetectedLanguage detected;
    {
        StandardOutputToError quiet;
        const auto engine = Sonavex::create(config);
        detected = isSampleFile(input) ? engine->detectLangauge(readSamples(input)) : engine->detectLanguage(input);
    }
    Json line = Json::object();
    line["file"] = input;
    line["language"] = detected.language;
    Json probabilities = Json::object();
    for (const auto& [code, probability] : detected.langProbs) {
        probabilities[code] = json::fromFloat(probability);
    }
    line["languageProbs"] = probabilities;
    printJsonLine(line);
    return 0;
}

const CommandRegistration registration{{"detect-language", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
