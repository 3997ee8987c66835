// sonavex decode prompt|filter|sample|window|language|segments|dtw: the decoder's stages one at a time.

#include "CommandLine/CommandRegistry.h"
#include "Decode/DecodeCommands.h"

namespace sonavex::tool {

namespace {

constexpr const char* kUsage =
    "  sonavex decode prompt --tokenizer DIR [--options O] [--english-only]\n"
    "      {\"prompt\"}: the window's opening token ids; without --options, the prompt of no options\n"
    "      (start of transcript alone); O is a file or JSON text starting with \"{\"\n"
    "  sonavex decode filter LOGITS.npy --tokenizer DIR --tokens ID,... [--sample-begin N] [--options O]\n"
    "      [--english-only] [--filters suppress-tokens,suppress-blank,timestamps,language] [--out F.npy]\n"
    "      {\"minusInfinity\": [[first, last], ...]}: the id ranges at minus infinity after filtering\n"
    "      (default: the filters the decoder builds for the options, sample-begin the tokens' count)\n"
    "  sonavex decode sample LOGITS.npy [--tokens ID,...] [--temperature T] [--top-k K] [--eot ID]\n"
    "      [--seed S] [--repeat N]\n"
    "      {\"token\", \"logProb\", \"completed\"} per draw (defaults: 0, the options' top-k, 50257, the\n"
    "      system's randomness, 1)\n"
    "  sonavex decode window --model-folder DIR [--encoder-output E.npy] [--options O] [--temperature T]\n"
    "      one window decoded from the prompt of the options (the default options without --options;\n"
    "      zeros without an encoder output): the result's fields without cache and timings\n"
    "  sonavex decode language --model-folder DIR [--encoder-output E.npy]\n"
    "      {\"language\", \"languageProbs\"}\n"
    "  sonavex decode segments --tokenizer DIR --tokens ID,... [--logprobs L,...] [--seek N]\n"
    "      [--segment-size N] [--segment-count N] [--no-speech-prob P] [--avg-logprob L] [--options O]\n"
    "      [--alignment W.npy]\n"
    "      one line per segment, then {\"seek\", \"segmentCount\"} (null when the window is silence);\n"
    "      with --alignment ([rows, columns]) the segments get word timings\n"
    "  sonavex decode dtw MATRIX.npy\n"
    "      {\"textIndices\", \"timeIndices\"}: the warping path through a [rows, columns] matrix\n";

int run(CommandLine& commandLine) {
    const std::string action =
        commandLine.takePositional("prompt, filter, sample, window, language, segments or dtw");
    if (action == "prompt") {
        return runDecodePrompt(commandLine);
    }
    if (action == "filter") {
        return runDecodeFilter(commandLine);
    }
    if (action == "sample") {
        return runDecodeSample(commandLine);
    }
    if (action == "window") {
        return runDecodeWindow(commandLine);
    }
    if (action == "language") {
        return runDecodeLanguage(commandLine);
    }
    if (action == "segments") {
        return runDecodeSegments(commandLine);
    }
    if (action == "dtw") {
        return runDecodeDtw(commandLine);
    }
    throw CommandLine::UsageError("unknown decode command " + action);
}

const CommandRegistration registration{{"decode", kUsage, &run}};

} // namespace

} // namespace sonavex::tool
