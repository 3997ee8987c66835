// velmoractl transcript: merging two tracks' segments and writing the transcript files.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/Transcripts/TranscriptWriter.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

using velmoractl::InputError;
using velmoractl::UsageError;

// A JSON array of {"startSeconds", "endSeconds", "text"}; any other shape is an error naming the file.
std::vector<velmora::TranscriptSegment> readSegments(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        throw InputError("cannot read " + path);
    }
    std::stringstream text;
    text << input.rdbuf();
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& error) {
        throw InputError(path + " is not valid JSON: " + error.what());
    }
    if (!document.is_array()) {
        throw InputError(path + ": expected an array of segments");
    }
    std::vector<velmora::TranscriptSegment> segments;
    for (std::size_t i = 0; i < document.size(); ++i) {
        const nlohmann::json& item = document[i];
        const std::string where = path + ": segment " + std::to_string(i);
        if (!item.is_object()) {
            throw InputError(where + " is not an object");
        }
        velmora::TranscriptSegment segment;
        for (const char* key : {"startSeconds", "endSeconds"}) {
            auto value = item.find(key);
            if (value == item.end() || !value->is_number()) {
                throw InputError(where + ": \"" + key + "\" must be a number");
            }
            (std::string(key) == "startSeconds" ? segment.startSeconds : segment.endSeconds) = value->get<double>();
        }
        auto value = item.find("text");
        if (value == item.end() || !value->is_string()) {
            throw InputError(where + ": \"text\" must be a string");
        }
        segment.text = value->get<std::string>();
        segments.push_back(std::move(segment));
    }
    return segments;
}

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
    const auto me = readSegments(mePath);
    const auto other = readSegments(otherPath);
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
