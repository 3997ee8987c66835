// sonavex models convert|download|support|variant|format: the engine's model helpers, fetching a model
// variant as the engine does, and turning a public checkpoint into a model folder the engine loads.

#include "CommandLine/CommandRegistry.h"
#include "CommandLine/InputFiles.h"
#include "CommandLine/JsonLines.h"
#include "CommandLine/NumberArguments.h"
#include "CommandLine/StandardOutputToError.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Models/ModelSupportConfig.h"
#include "Sonavex/Core/Sonavex.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex models convert (CHECKPOINT_DIR | --repo OWNER/NAME [--endpoint URL] [--download-base DIR])\n"
    "                         OUT_DIR [--cache-length N] [--weights int8|half]\n"
    "      {\"variant\", \"folder\"}: a checkpoint in the model hub's layout becomes a model folder (linear\n"
    "      layers as 8-bit integers with int8, default half); with --repo its files are first brought into\n"
    "      the mirror (progress on standard error)\n"
    "  sonavex models download VARIANT --repo OWNER/NAME [--endpoint URL] [--download-base DIR]\n"
    "      {\"folder\"}: the variant's folder fetched into the mirror (or built from its public checkpoint\n"
    "      when the repository has none of this runtime's models; progress on standard error)\n"
    "  sonavex models support DEVICE-ID [--config FILE | --repo OWNER/NAME [--endpoint URL]]\n"
    "      {\"default\", \"supported\", \"disabled\"}: from the built-in table, a support file, or the\n"
    "      repository's support file (the built-in table when it cannot be fetched)\n"
    "  sonavex models variant LOGITS-DIM ENCODER-DIM          {\"variant\", \"tokenizer\"}\n"
    "  sonavex models format NAME…                            {\"models\"}\n";

// Prints "download N%" on standard error each time the whole percentage changes.
std::function<void(const orvane::Progress&)> percentPrinter() {
    return [shown = -1L](const orvane::Progress& progress) mutable {
        const long percent = std::lround(std::floor(progress.fractionCompleted() * 100));
        if (percent != shown) {
            shown = percent;
            std::cerr << "download " << percent << "%\n";
        }
    };
}

std::optional<std::filesystem::path> pathOption(const std::optional<std::string>& value) {
    return value ? std::optional<std::filesystem::path>(*value) : std::nullopt;
}

// Brings the checkpoint's files into the mirror and returns the repository's local folder.
std::filesystem::path downloadCheckpoint(const std::string& repo, const std::optional<std::string>& endpoint,
                                         const std::optional<std::string>& downloadBase) {
    StandardOutputToError quiet;
    const orvane::HubApiWrapper hub(pathOption(downloadBase), std::nullopt, endpoint);
    return hub.snapshot(orvane::HubApiWrapper::Repo(repo), "main", CheckpointConverter::checkpointPatterns(),
                        percentPrinter());
}

int download(CommandLine& commandLine) {
    const auto repo = commandLine.takeOption("--repo");
    const auto endpoint = commandLine.takeOption("--endpoint");
    const auto downloadBase = commandLine.takeOption("--download-base");
    const std::string variant = commandLine.takePositional("VARIANT");
    commandLine.finish();
    if (!repo) {
        throw CommandLine::UsageError("download needs --repo OWNER/NAME");
    }
    std::filesystem::path folder;
    {
        StandardOutputToError quiet;
        folder = Sonavex::download(variant, pathOption(downloadBase), false, *repo, std::nullopt,
                                   endpoint.value_or(std::string(Constants::defaultRemoteEndpoint)),
                                   percentPrinter());
    }
    Json line = Json::object();
    line["folder"] = folder.string();
    printJsonLine(line);
    return 0;
}

int convert(CommandLine& commandLine) {
    const auto repo = commandLine.takeOption("--repo");
    const auto endpoint = commandLine.takeOption("--endpoint");
    const auto downloadBase = commandLine.takeOption("--download-base");
    const auto cacheLength = commandLine.takeOption("--cache-length");
    const auto weightsName = commandLine.takeOption("--weights");
    if (!repo && (endpoint || downloadBase)) {
        throw CommandLine::UsageError("--endpoint and --download-base go with --repo");
    }
    const std::optional<std::string> checkpoint =
        repo ? std::nullopt : std::optional(commandLine.takePositional("CHECKPOINT_DIR"));
    const std::string output = commandLine.takePositional("OUT_DIR");
    commandLine.finish();
    const int64_t length =
        cacheLength ? parseIntArgument(*cacheLength, "--cache-length") : CheckpointConverter::kDefaultCacheLength;
    const auto weights = ml::weightTypeNamed(weightsName.value_or("half"));
    if (!weights) {
        throw CommandLine::UsageError("--weights must be int8 or half, not " + *weightsName);
    }

    const std::filesystem::path folder = repo ? downloadCheckpoint(*repo, endpoint, downloadBase)
                                                : std::filesystem::path(*checkpoint);
    const auto result = CheckpointConverter::convert(
        folder, output, length, [](const std::string& model) { std::cerr << "writing " << model << "\n"; },
        *weights);
    Json line = Json::object();
    line["variant"] = std::string(description(ModelUtilities::detectVariant(result.logitsDim, result.encoderDim)));
    line["folder"] = result.folder.string();
    printJsonLine(line);
    return 0;
}

int support(CommandLine& commandLine) {
    const auto configFile = commandLine.takeOption("--config");
    const auto repo = commandLine.takeOption("--repo");
    const auto endpoint = commandLine.takeOption("--endpoint");
    const std::string device = commandLine.takePositional("DEVICE-ID");
    commandLine.finish();
    if (configFile && repo) {
        throw CommandLine::UsageError("--config and --repo exclude each other");
    }
    if (endpoint && !repo) {
        throw CommandLine::UsageError("--endpoint goes with --repo");
    }
    std::optional<ModelSupportConfig> config;
    if (configFile) {
        config = ModelSupportConfig::fromJson(readInput(*configFile));
    } else if (repo) {
        StandardOutputToError quiet;
        config = Sonavex::fetchModelSupportConfig(*repo, std::nullopt, std::nullopt,
                                                  std::string(Constants::defaultRemoteConfigName),
                                                  endpoint.value_or(std::string(Constants::defaultRemoteEndpoint)));
    }
    ModelSupport models = ModelUtilities::modelSupport(device, config ? &*config : nullptr);
    std::sort(models.disabled.begin(), models.disabled.end());
    Json line = Json::object();
    line["default"] = models.defaultModel;
    line["supported"] = models.supported;
    line["disabled"] = models.disabled;
    printJsonLine(line);
    return 0;
}

int variant(CommandLine& commandLine) {
    const int64_t logitsDim = parseIntArgument(commandLine.takePositional("LOGITS-DIM"), "LOGITS-DIM");
    const int64_t encoderDim = parseIntArgument(commandLine.takePositional("ENCODER-DIM"), "ENCODER-DIM");
    commandLine.finish();
    const ModelVariant detected = ModelUtilities::detectVariant(logitsDim, encoderDim);
    Json line = Json::object();
    line["variant"] = std::string(description(detected));
    line["tokenizer"] = ModelUtilities::tokenizerNameForVariant(detected);
    printJsonLine(line);
    return 0;
}

int format(CommandLine& commandLine) {
    const std::vector<std::string> names = commandLine.takeRemainingPositionals();
    commandLine.finish();
    if (names.empty()) {
        throw CommandLine::UsageError("format needs at least one NAME");
    }
    Json line = Json::object();
    line["models"] = ModelUtilities::formatModelFiles(names);
    printJsonLine(line);
    return 0;
}

int run(CommandLine& commandLine) {
    const std::string action = commandLine.takePositional("convert, download, support, variant or format");
    if (action == "convert") {
        return convert(commandLine);
    }
    if (action == "download") {
        return download(commandLine);
    }
    if (action == "support") {
        return support(commandLine);
    }
    if (action == "variant") {
        return variant(commandLine);
    }
    if (action == "format") {
        return format(commandLine);
    }
    throw CommandLine::UsageError("unknown models command " + action);
}

const CommandRegistration registration{{"models", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
