// sonavex result report|write|time|merge: what the engine makes of stored transcription results: a
// result's timings report and segment lines, its subtitle and JSON files, the time stamps those files
// carry, and several results merged into one.

#include "CommandLine/CommandRegistry.h"
#include "CommandLine/InputFiles.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Results/ResultWriters.h"
#include "Results/SubtitleCues.h"
#include "Sonavex/Utilities/Transcription/TranscriptionUtilities.h"
#include "Sonavex/Utilities/Writers/WriteJSON.h"
#include "Sonavex/Utilities/Writers/WriteSRT.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"

#include <iostream>
#include <memory>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex result report FILE\n"
    "      the timings report, then one line per segment (plain text)\n"
    "  sonavex result write json|srt|vtt FILE OUTDIR NAME\n"
    "      writes OUTDIR/NAME.json, .srt or .vtt; {\"url\"}; subtitles leave out special tokens and cues\n"
    "      without text, as transcribe --format does\n"
    "  sonavex result time SECONDS... [--hours] [--marker M]\n"
    "      {\"seconds\", \"text\"} per value, as the subtitle writers format times (default marker \".\")\n";

std::shared_ptr<TranscriptionResult> readResult(const std::string& path) {
    return transcriptionResultFromJson(sonavex::json::parseDocument(readInput(path)));
}

int report(CommandLine& commandLine) {
    const std::string file = commandLine.takePositional("FILE");
    commandLine.finish();
    auto result = readResult(file);
    std::cout << result->timingsReport() << '\n';
    for (const std::string& line : result->segmentLogLines()) {
        std::cout << line << '\n';
    }
    std::cout << std::flush;
    return 0;
}

int write(CommandLine& commandLine) {
    const std::string format = commandLine.takePositional("the format (json, srt or vtt)");
    const std::string file = commandLine.takePositional("FILE");
    const std::string outputDir = commandLine.takePositional("OUTDIR");
    const std::string name = commandLine.takePositional("NAME");
    commandLine.finish();
    auto writer = writerFor(format, outputDir);
    auto result = readResult(file);
    if (format != "json") {
        // The cues transcribe --format writes: text only (the audio's length is not known here).
        result = subtitleResult(*withoutSpecialTokens(*result), std::nullopt);
    }
    auto written = writer->write(*result, name);
    if (!written.isSuccess()) {
        std::rethrow_exception(written.error());
    }
    Json line = Json::object();
    line["url"] = written.get();
    printJsonLine(line);
    return 0;
}

int time(CommandLine& commandLine) {
    const bool hours = commandLine.takeFlag("--hours");
    const std::string marker = commandLine.takeOption("--marker").value_or(".");
    auto values = commandLine.takeRemainingPositionals();
    commandLine.finish();
    if (values.empty()) {
        throw CommandLine::UsageError("missing SECONDS");
    }
    std::vector<float> seconds;
    for (const std::string& value : values) {
        seconds.push_back(parseFloatArgument(value, "SECONDS"));
    }
    WriteVTT formatter("");
    for (float value : seconds) {
        Json line = Json::object();
        line["seconds"] = sonavex::json::fromFloat(value);
        line["text"] = formatter.formatTime(value, hours, marker);
        printJsonLine(line);
    }
    return 0;
}

int merge(CommandLine& commandLine) {
    const auto wordsFile = commandLine.takeOption("--confirmed-words");
    auto inputs = commandLine.takeRemainingPositionals();
    commandLine.finish();
    std::vector<std::shared_ptr<TranscriptionResult>> results;
    for (const std::string& input : inputs) {
        results.push_back(input == "none" ? nullptr : readResult(input));
    }
    std::optional<std::vector<WordTiming>> confirmedWords;
    if (wordsFile) {
        const Json words = sonavex::json::parseDocument(readInput(*wordsFile));
        if (!words.is_array()) {
            throw CommandLine::UsageError("--confirmed-words needs a JSON array of words");
        }
        confirmedWords = words.get<std::vector<WordTiming>>();
    }
    printJsonLine(Json(*TranscriptionUtilities::mergeTranscriptionResults(results, confirmedWords)));
    return 0;
}

int run(CommandLine& commandLine) {
    const std::string action = commandLine.takePositional("report, write, time or merge");
    if (action == "report") {
        return report(commandLine);
    }
    if (action == "write") {
        return write(commandLine);
    }
    if (action == "time") {
        return time(commandLine);
    }
    if (action == "merge") {
        return merge(commandLine);
    }
    throw CommandLine::UsageError("unknown action " + action);
}

const CommandRegistration registration{{"result", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
