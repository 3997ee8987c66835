// Word timings of one 30-second window (1500 frames) at several token counts: the warping path alone,
// the whole step (matrix copy, path, words, constraints, punctuation, segment update), and a plain read
// of the same matrix into doubles. "path of step" is the warping's share of the whole step, "of plain
// read" the step over the plain read, both measured in the same run.

#include "../Tests/SonavexTests/TableTokenizer.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <random>

namespace {

constexpr int64_t kFrames = 1500;

// A tokenizer whose every text id is a word of its own (" w<id>").
TableTokenizer wordPerToken(int64_t tokens) {
    TableTokenizer tokenizer;
    for (int64_t i = 0; i < tokens; ++i) {
        tokenizer.add(" w" + std::to_string(i), int(1000 + i));
    }
    return tokenizer;
}

// Half-float weights [224, 1500] whose first `tokens` rows peak along a rising line, over noise.
ml::MultiArray alignmentWeights(int64_t tokens) {
    ml::MultiArray weights({224, kFrames}, ml::MultiArrayDataType::Float16);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(0.0f, 0.05f);
    for (int64_t row = 0; row < tokens; ++row) {
        const int64_t peak = row * kFrames / tokens;
        for (int64_t column = 0; column < kFrames; ++column) {
            weights.setValue(row * kFrames + column, column == peak ? 0.9f : noise(random));
        }
    }
    return weights;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WordTimestamps(benchmark::State& state) {
    const int64_t tokens = state.range(0);
    const ml::MultiArray weights = alignmentWeights(tokens);
    ml::MultiArray matrix({tokens, kFrames}, ml::MultiArrayDataType::Float16);
    std::memcpy(matrix.data(), weights.data(), matrix.byteCount());
    sonavex::TranscriptionSegment segment;
    for (int64_t i = 0; i < tokens; ++i) {
        segment.tokens.push_back(1000 + i);
        segment.tokenLogProbs.push_back({{1000 + i, -0.1f}});
    }
    segment.end = 30.0f;
    const TableTokenizer tokenizer = wordPerToken(tokens);
    sonavex::SegmentSeeker seeker;
    sonavex::TranscriptionTimings timings;

    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        auto timed = seeker.addWordTimestamps({segment}, weights, tokenizer, 0, 480000, "\"'([{-",
                                              "\"'.,!?:)]}", 0.0f, sonavex::DecodingOptions(), timings);
        benchmark::DoNotOptimize(timed);
    }
    const double perStep = secondsSince(start) / double(state.iterations());

    const int rounds = 5;
    auto pathStart = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        benchmark::DoNotOptimize(seeker.dynamicTimeWarping(matrix));
    }
    const double perPath = secondsSince(pathStart) / rounds;

    std::vector<double> plain(size_t(matrix.count()));
    const auto readStart = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        const auto halves = matrix.elements<ml::Float16>();
        for (size_t i = 0; i < plain.size(); ++i) {
            plain[i] = double(float(halves[i]));
        }
        benchmark::DoNotOptimize(plain.data());
    }
    const double perRead = secondsSince(readStart) / rounds;

    state.counters["ms/window"] = perStep * 1e3;
    state.counters["path of step"] = perPath / perStep;
    state.counters["of plain read"] = perStep / perRead;
    state.counters["ns/cell"] = perPath * 1e9 / double(tokens * kFrames);
    state.SetLabel(std::to_string(tokens) + " tokens");
}

BENCHMARK(BM_WordTimestamps)->Arg(32)->Arg(112)->Arg(223)->Unit(benchmark::kMillisecond);

} // namespace
