#pragma once
// One generator per "--kind": each reads its flags and returns the model to write.
// Add a kind by writing a generator in its own file and listing it in modelGenerators().

#include <functional>
#include <string>
#include <vector>

#include "Platform/ML/Files/ModelWriter.h"
#include "ToolOptions.h"

struct ModelGenerator {
    std::string kind;
    std::string usage;
    std::function<ml::ModelWriter(const ToolOptions&)> make;
};

const std::vector<ModelGenerator>& modelGenerators();

ml::ModelWriter makeMelModel(const ToolOptions& options);
ml::ModelWriter makeEncoderModel(const ToolOptions& options);
ml::ModelWriter makeDecoderModel(const ToolOptions& options);
ml::ModelWriter makeScriptedDecoderModel(const ToolOptions& options);

/// --preset NAME --out DIR: the mel, encoder and decoder models of a model size, full shape, random weights.
void writePreset(const ToolOptions& options);
