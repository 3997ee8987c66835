// make-test-models: writes small models with fixed-seed weights for tests and benchmarks.
//   make-test-models --kind mel --mels 80|128 --out DIR/MelSpectrogram.mlmodelc [--seed S]
//   make-test-models --preset tiny|base|small|turbo --out DIR [--vocab V] [--seed S] [--weights int8|half]
// An --out ending in ".mlpackage" writes the package form instead of the compiled one.

#include "ModelGenerators.h"
#include "Shared/StandardOptions.h"

#include <filesystem>
#include <iostream>

namespace {

std::string usage() {
    std::string text = "usage:\n";
    for (const auto& generator : modelGenerators()) {
        text += "  make-test-models " + generator.usage + "\n";
    }
    return text + "  make-test-models --preset tiny|base|small|turbo --out DIR [--vocab V] [--seed S] "
                  "[--weights int8|half]\n";
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = tools::answerStandardOption("make-test-models", {argv + 1, argv + argc}, usage())) {
        return *status;
    }
    try {
        ToolOptions options(argc, argv);
        if (options.has("preset")) {
            writePreset(options);
            return 0;
        }
        const std::string kind = options.text("kind");
        const std::filesystem::path out = options.text("out");
        for (const auto& generator : modelGenerators()) {
            if (generator.kind == kind) {
                ml::ModelWriter writer = generator.make(options);
                options.requireAllUsed();
                if (out.extension() == ".mlpackage") {
                    writer.writePackage(out);
                } else {
                    writer.writeCompiled(out);
                }
                return 0;
            }
        }
        std::cerr << "make-test-models: unknown kind \"" << kind << "\"\n";
        std::cerr << usage();
        return 2;
    } catch (const std::invalid_argument& error) {
        std::cerr << "make-test-models: " << error.what() << "\n";
        std::cerr << usage();
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "make-test-models: " << error.what() << "\n";
        return 1;
    }
}
