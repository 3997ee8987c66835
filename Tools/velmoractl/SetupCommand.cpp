// velmoractl setup [--endpoint URL]: the first-run model set-up on the stored settings, as the panel
// runs it. One line per phase: notStarted, downloading F, optimizing, ready or failed TEXT; exits 1
// after a failure. A set-up already done for the selected model prints ready and loads nothing.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/ModelSetup/ModelSetupGate.h"
#include "VelmoraCore/PlainMainLoop.h"

#include <iostream>

namespace {

using velmoractl::UsageError;
using Phase = velmora::ModelSetupPhase;

std::string phaseLine(const Phase& phase) {
    switch (phase.kind) {
    case Phase::Kind::notStarted:
        return "notStarted";
    case Phase::Kind::downloading:
        return "downloading " + velmoractl::numberText(phase.fraction);
    case Phase::Kind::optimizing:
        return "optimizing";
    case Phase::Kind::ready:
        return "ready";
    case Phase::Kind::failed:
        return "failed " + phase.text;
    }
    return {};
}

int setup(const velmoractl::Arguments& arguments) {
    const velmoractl::CommandLine line(arguments, {"--endpoint"});
    if (!line.positional().empty()) {
        throw UsageError("unexpected argument " + line.positional().front());
    }
    velmora::EngineAccess access;
    if (auto endpoint = line.option("--endpoint")) {
        access.endpoint = *endpoint;
    }
    velmora::PlainMainLoop mainLoop;
    velmora::TranscriberStore store(access);
    const auto defaults = velmora::DefaultsStore::standard();
    const velmora::AppSettings settings(defaults);
    velmora::ModelSetupGate gate(settings, defaults, mainLoop, store);

    const auto print = [](const Phase& phase) { std::cout << phaseLine(phase) << std::endl; };
    print(gate.phase().value());
    if (gate.isReady()) {
        return velmoractl::exitSuccess;
    }
    gate.phase().subscribe([&](const Phase& phase) {
        print(phase);
        if (phase.kind == Phase::Kind::ready || phase.kind == Phase::Kind::failed) {
            mainLoop.quit();
        }
    });
    gate.startIfNeeded();
    mainLoop.run();
    return gate.isReady() ? velmoractl::exitSuccess : velmoractl::exitFailure;
}

const bool registered = velmoractl::registerCommandGroup({"setup", "setup [--endpoint URL]", setup});

} // namespace
