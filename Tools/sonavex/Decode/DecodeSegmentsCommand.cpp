// sonavex decode segments: one window's tokens cut into timed segments by the segment seeker, with word
// timings when alignment weights are given.

#include "Arguments/DecodeArguments.h"
#include "Arguments/OptionsArgument.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Decode/DecodeCommands.h"
#include "Models/TokenizerFolder.h"
#include "Platform/ML/Files/Npy.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

namespace sonavex::tool {

namespace {

constexpr int64_t kSampleRate = 16000;

std::vector<float> parseFloatList(const std::string& text, const std::string& name) {
    std::vector<float> values;
    for (const std::string& item : splitList(text, name)) {
        values.push_back(parseFloatArgument(item, name));
    }
    return values;
}

} // namespace

int runDecodeSegments(CommandLine& commandLine) {
    const auto folder = commandLine.takeOption("--tokenizer");
    const auto tokensArgument = commandLine.takeOption("--tokens");
    const auto logProbsArgument = commandLine.takeOption("--logprobs");
    const auto seekArgument = commandLine.takeOption("--seek");
    const auto segmentSizeArgument = commandLine.takeOption("--segment-size");
    const auto segmentCountArgument = commandLine.takeOption("--segment-count");
    const auto noSpeechArgument = commandLine.takeOption("--no-speech-prob");
    const auto avgLogProbArgument = commandLine.takeOption("--avg-logprob");
    const auto optionsArgument = commandLine.takeOption("--options");
    const auto alignmentArgument = commandLine.takeOption("--alignment");
    commandLine.finish();
    if (!folder || !tokensArgument) {
        throw CommandLine::UsageError("decode segments needs --tokenizer DIR and --tokens ID,...");
    }

    DecodingResult decoded;
    decoded.tokens = parseTokenList(*tokensArgument, "--tokens");
    const std::vector<float> logProbs = logProbsArgument ? parseFloatList(*logProbsArgument, "--logprobs")
                                                         : std::vector<float>(decoded.tokens.size(), 0.0f);
    if (logProbs.size() != decoded.tokens.size()) {
        throw WhisperError::segmentingFailed(std::to_string(logProbs.size()) + " log-probabilities for " +
                                             std::to_string(decoded.tokens.size()) + " tokens");
    }
    for (size_t i = 0; i < logProbs.size(); ++i) {
        decoded.tokenLogProbs.push_back({{decoded.tokens[i], logProbs[i]}});
    }
    decoded.noSpeechProb =
        noSpeechArgument ? parseFloatArgument(*noSpeechArgument, "--no-speech-prob") : 0.0f;
    decoded.avgLogProb = avgLogProbArgument ? parseFloatArgument(*avgLogProbArgument, "--avg-logprob") : 0.0f;
    const int64_t seek = seekArgument ? parseIntArgument(*seekArgument, "--seek") : 0;
    const int64_t segmentSize = segmentSizeArgument ? parseIntArgument(*segmentSizeArgument, "--segment-size")
                                                    : Constants::defaultWindowSamples;
    const int64_t segmentCount =
        segmentCountArgument ? parseIntArgument(*segmentCountArgument, "--segment-count") : 0;
    const DecodingOptions options =
        optionsArgument ? decodingOptionsFromArgument(*optionsArgument) : DecodingOptions();
    const auto tokenizer = loadTokenizerFolder(*folder);
    // Read before any output, so a bad file prints nothing but its error.
    const std::optional<ml::MultiArray> weights =
        alignmentArgument ? std::optional(ml::readNpy(*alignmentArgument)) : std::nullopt;

    SegmentSeeker seeker;
    const SpecialTokens& special = tokenizer->specialTokens();
    auto [nextSeek, segments] =
        seeker.findSeekPointAndSegments(decoded, options, segmentCount, seek, segmentSize, kSampleRate,
                                        special.timeTokenBegin, special.specialTokenBegin, *tokenizer);
    if (segments && weights) {
        TranscriptionTimings timings;
        segments = seeker.addWordTimestamps(
            std::move(*segments), *weights, *tokenizer, seek, segmentSize,
            Constants::defaultPrependPunctuations, Constants::defaultAppendPunctuations,
            static_cast<float>(seek) / static_cast<float>(kSampleRate), options, timings);
    }

    for (const TranscriptionSegment& segment : segments.value_or(std::vector<TranscriptionSegment>{})) {
        printJsonLine(Json(segment));
    }
    Json summary = Json::object();
    summary["seek"] = nextSeek;
    summary["segmentCount"] = segments ? Json(segments->size()) : Json(nullptr);
    printJsonLine(summary);
    return 0;
}

int runDecodeDtw(CommandLine& commandLine) {
    const std::string matrixPath = commandLine.takePositional("MATRIX.npy");
    commandLine.finish();
    const WarpingPath path = SegmentSeeker().dynamicTimeWarping(ml::readNpy(matrixPath));
    Json line = Json::object();
    line["textIndices"] = path.textIndices;
    line["timeIndices"] = path.timeIndices;
    printJsonLine(line);
    return 0;
}

} // namespace sonavex::tool
