#pragma once
// One generator per "--kind": each reads its flags and returns the model to write.
// Add a kind by writing a generator in its own file and listing it in modelGenerators().

#include <functional>
#include <string>
#include <vector>

#include "Platform/ML/ModelWriter.h"
#include "ToolOptions.h"

struct ModelGenerator {
    std::string kind;
    std::string usage;
    std::function<ml::ModelWriter(const ToolOptions&)> make;
};

const std::vector<ModelGenerator>& modelGenerators();

ml::ModelWriter makeMelModel(const ToolOptions& options);
