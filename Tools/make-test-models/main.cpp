// make-test-models: writes small models with fixed-seed weights for tests and benchmarks.
//   make-test-models --kind mel --mels 80|128 --out DIR/MelSpectrogram.mlmodelc [--seed S]
//   make-test-models --preset tiny|base|small|turbo --out DIR [--vocab V] [--seed S]
// An --out ending in ".mlpackage" writes the package form instead of the compiled one.

#include <filesystem>
#include <iostream>

#include "ModelGenerators.h"

namespace {

void printUsage() {
    std::cerr << "usage:\n";
    for (const auto& generator : modelGenerators()) {
        std::cerr << "  make-test-models " << generator.usage << "\n";
    }
    std::cerr << "  make-test-models --preset tiny|base|small|turbo --out DIR [--vocab V] [--seed S]\n";
}

} // namespace

int main(int argc, char** argv) {
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
        printUsage();
        return 2;
    } catch (const std::invalid_argument& error) {
        std::cerr << "make-test-models: " << error.what() << "\n";
        printUsage();
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "make-test-models: " << error.what() << "\n";
        return 1;
    }
}
