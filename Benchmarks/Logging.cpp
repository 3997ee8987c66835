// What logging and the lock wrappers cost on hot paths: a message dropped by the level must cost one
// lock and no rendering; an emitted one renders its items once.

#include "OrvaneCore/Logging/Logging.h"

#include "OrvaneCore/Concurrency/PropertyLock.h"

#include <benchmark/benchmark.h>
#include <vector>

using orvane::Logging;

static void DroppedDebugMessage(benchmark::State& state) {
    Logging::updateLogLevel(Logging::LogLevel::error);
    for (auto _ : state) {
        Logging::debug("Decoding window", 42, "temperature", 0.2, "tokens", 224);
    }
    Logging::updateLogLevel(Logging::LogLevel::none);
}
BENCHMARK(DroppedDebugMessage)->Threads(1)->Threads(8);

static void EmittedMessageToCallback(benchmark::State& state) {
    std::size_t characters = 0;
    Logging::updateCallback([&](const std::string& text) { characters += text.size(); });
    Logging::updateLogLevel(Logging::LogLevel::debug);
    for (auto _ : state) {
        Logging::debug("Decoding window", 42, "temperature", 0.2, "tokens", 224);
    }
    benchmark::DoNotOptimize(characters);
    Logging::updateLogLevel(Logging::LogLevel::none);
    Logging::updateCallback(nullptr);
}
BENCHMARK(EmittedMessageToCallback);

static void PropertyLockAppend(benchmark::State& state) {
    static orvane::PropertyLock<std::vector<int>> segments;
    for (auto _ : state) {
        segments.modify([](std::vector<int>& v) {
            v.push_back(1);
            if (v.size() > 4096) {
                v.clear();
            }
        });
    }
}
BENCHMARK(PropertyLockAppend)->Threads(1)->Threads(8);

static void PropertyLockRead(benchmark::State& state) {
    orvane::PropertyLock<double> seekTime(1.5);
    for (auto _ : state) {
        benchmark::DoNotOptimize(seekTime.get());
    }
}
BENCHMARK(PropertyLockRead);
