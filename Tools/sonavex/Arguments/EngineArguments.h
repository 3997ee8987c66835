#pragma once
// The model arguments of the commands that build the engine facade: a model folder, or a variant fetched
// from a hub repository.

#include "CommandLine/CommandLine.h"
#include "Sonavex/Core/Options/SonavexConfig.h"

#include <string>

namespace sonavex::tool {

/// Takes `--model-folder DIR | --model VARIANT [--repo OWNER/NAME] [--endpoint URL] [--download-base DIR]`
/// into `config`. The models load when the engine is built, so a broken folder fails the command before
/// any input is read; the level `--log` set carries over, since building the engine sets the process's
/// log level.
void takeModelArguments(CommandLine& commandLine, SonavexConfig& config);

/// Whether the input is a sample file (".f32", ".npy", in any case) rather than an audio file.
bool isSampleFile(const std::string& path);

} // namespace sonavex::tool
