// ml-run: loads a model and describes it or runs one prediction from .npy files.
//   ml-run MODEL --describe
//   ml-run MODEL --input NAME=FILE.npy [--input NAME=FILE.npy ...] --output DIR [--compute-units N]
// (compute units are recorded with the model; everything runs on the CPU)
// Each output is written as DIR/NAME.npy in the model's element type, exactly as the runtime returned it.

#include "Platform/ML/Files/Npy.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Values/DictionaryFeatureProvider.h"
#include "Shared/StandardOptions.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Arguments {
    std::filesystem::path model;
    bool describe = false;
    std::vector<std::pair<std::string, std::filesystem::path>> inputs;
    std::filesystem::path outputDirectory;
    ml::ComputeUnits computeUnits = ml::ComputeUnits::all;
};

constexpr const char* kUsage = "usage: ml-run MODEL --describe\n"
                               "       ml-run MODEL --input NAME=FILE.npy [--input NAME=FILE.npy ...] "
                               "--output DIR [--compute-units N]\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Arguments parse(int argc, char** argv) {
    Arguments arguments;
    std::vector<std::string> words(argv + 1, argv + argc);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= words.size()) {
                throw UsageError(word + " needs a value");
            }
            return words[++i];
        };
        if (word == "--describe") {
            arguments.describe = true;
        } else if (word == "--input") {
            const std::string& pair = value();
            const auto equals = pair.find('=');
            if (equals == std::string::npos || equals == 0 || equals + 1 == pair.size()) {
                throw UsageError("--input needs NAME=FILE.npy, not \"" + pair + "\"");
            }
            arguments.inputs.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        } else if (word == "--output") {
            arguments.outputDirectory = value();
        } else if (word == "--compute-units") {
            const std::string& units = value();
            try {
                arguments.computeUnits = static_cast<ml::ComputeUnits>(std::stoll(units));
            } catch (const std::exception&) {
                throw UsageError("--compute-units needs a number (0 cpuOnly, 1 cpuAndGPU, 2 all, 3 cpuAndNeuralEngine)");
            }
        } else if (word.rfind("--", 0) == 0) {
            throw UsageError("unknown option " + word);
        } else if (arguments.model.empty()) {
            arguments.model = word;
        } else {
            throw UsageError("unexpected argument \"" + word + "\"");
        }
    }
    if (arguments.model.empty()) {
        throw UsageError("no model given");
    }
    if (!arguments.describe && (arguments.inputs.empty() || arguments.outputDirectory.empty())) {
        throw UsageError("give --describe, or --input NAME=FILE.npy and --output DIR");
    }
    return arguments;
}

std::string describe(const char* direction, const ml::FeatureDescription& feature) {
    std::string line = std::string(direction) + " " + feature.name + " " + ml::featureTypeName(feature.type);
    if (feature.multiArrayConstraint) {
        line += " " + ml::dataTypeName(feature.multiArrayConstraint->dataType) + " " +
                ml::shapeDescription(feature.multiArrayConstraint->shape);
    }
    return line + (feature.isOptional ? " optional" : "");
}

int run(const Arguments& arguments) {
    ml::ModelConfiguration configuration;
    configuration.computeUnits = arguments.computeUnits;
    std::shared_ptr<ml::Model> model = ml::Model::load(arguments.model, configuration);
    if (arguments.describe) {
        for (const auto& feature : model->description().inputs) {
            std::cout << describe("input", feature) << "\n";
        }
        for (const auto& feature : model->description().outputs) {
            std::cout << describe("output", feature) << "\n";
        }
        return 0;
    }
    ml::DictionaryFeatureProvider inputs;
    for (const auto& [name, file] : arguments.inputs) {
        inputs.set(name, ml::FeatureValue(std::make_shared<ml::MultiArray>(ml::readNpy(file))));
    }
    std::shared_ptr<ml::FeatureProvider> outputs = model->predict(inputs);
    std::filesystem::create_directories(arguments.outputDirectory);
    for (const auto& name : outputs->featureNames()) {
        std::shared_ptr<ml::MultiArray> array = outputs->multiArray(name);
        if (array) {
            ml::writeNpy(arguments.outputDirectory / (name + ".npy"), *array);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (auto status = tools::answerStandardOption("ml-run", {argv + 1, argv + argc}, kUsage)) {
        return *status;
    }
    try {
        return run(parse(argc, argv));
    } catch (const UsageError& error) {
        std::cerr << "ml-run: " << error.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "ml-run: " << error.what() << "\n";
        return 1;
    }
}
