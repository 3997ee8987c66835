#pragma once
// One generator per "--kind": each reads its flags and returns the model to write.
// Add a kind by writing a generator in its own file and listing it in modelGenerators().

#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Files/WeightType.h"
#include "ToolOptions.h"

#include <functional>
#include <string>
#include <vector>

struct ModelGenerator {
    std::string kind;
    std::string usage;
    std::function<ml::ModelWriter(const ToolOptions&)> make;
};

const std::vector<ModelGenerator>& modelGenerators();

/// --weights int8|half (default half): how the encoder's and decoder's linear layers are stored.
ml::WeightType weightsOption(const ToolOptions& options);

ml::ModelWriter makeMelModel(const ToolOptions& options);
ml::ModelWriter makeEncoderModel(const ToolOptions& options);
ml::ModelWriter makeDecoderModel(const ToolOptions& options);
ml::ModelWriter makeScriptedDecoderModel(const ToolOptions& options);

/// --preset NAME --out DIR: the mel, encoder and decoder models of a model size, full shape, random weights.
void writePreset(const ToolOptions& options);
