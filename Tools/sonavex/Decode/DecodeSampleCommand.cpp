// sonavex decode sample: the greedy sampler's draws from one step's logits.

#include "Arguments/DecodeArguments.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "Decode/DecodeCommands.h"
#include "Sonavex/Core/Text/GreedyTokenSampler.h"

#include <random>

namespace sonavex::tool {

int runDecodeSample(CommandLine& commandLine) {
    const auto tokensArgument = commandLine.takeOption("--tokens");
    const auto temperatureArgument = commandLine.takeOption("--temperature");
    const auto topKArgument = commandLine.takeOption("--top-k");
    const auto eotArgument = commandLine.takeOption("--eot");
    const auto seedArgument = commandLine.takeOption("--seed");
    const auto repeatArgument = commandLine.takeOption("--repeat");
    const std::string logitsPath = commandLine.takePositional("LOGITS.npy");
    commandLine.finish();

    const std::vector<int64_t> tokens =
        tokensArgument ? parseTokenList(*tokensArgument, "--tokens") : std::vector<int64_t>{};
    const float temperature =
        temperatureArgument ? parseFloatArgument(*temperatureArgument, "--temperature") : 0.0f;
    DecodingOptions options;
    if (topKArgument) {
        options.topK = parseIntArgument(*topKArgument, "--top-k");
    }
    const int64_t eot = eotArgument ? parseIntArgument(*eotArgument, "--eot") : 50257;
    const int64_t repeat = repeatArgument ? parseIntArgument(*repeatArgument, "--repeat") : 1;
    if (repeat < 1) {
        throw CommandLine::UsageError("--repeat needs a count of 1 or more");
    }
    GreedyTokenSampler::RandomSource source = systemRandomBits;
    if (seedArgument) {
        auto generator =
            std::make_shared<std::mt19937>(static_cast<uint32_t>(parseIntArgument(*seedArgument, "--seed")));
        source = [generator] { return static_cast<uint32_t>((*generator)()); };
    }
    const std::shared_ptr<ml::MultiArray> logits = readHalfArray(logitsPath);
    GreedyTokenSampler sampler(ml::Float16(temperature), eot, options, source);
    const std::vector<float> logProbs(tokens.size(), 0.0f);
    for (int64_t draw = 0; draw < repeat; ++draw) {
        const SamplingResult result = sampler.update(tokens, *logits, logProbs);
        Json line = Json::object();
        line["token"] = result.tokens.back();
        line["logProb"] = json::fromFloat(result.logProbs.back());
        line["completed"] = result.completed;
        printJsonLine(line);
    }
    return 0;
}

} // namespace sonavex::tool
