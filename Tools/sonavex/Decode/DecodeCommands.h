#pragma once
// The actions of `sonavex decode`, one file each; DecodeCommand.cpp registers the group and dispatches.

#include "CommandLine/CommandLine.h"

namespace sonavex::tool {

int runDecodePrompt(CommandLine& commandLine);
int runDecodeFilter(CommandLine& commandLine);
int runDecodeSample(CommandLine& commandLine);
int runDecodeWindow(CommandLine& commandLine);
int runDecodeLanguage(CommandLine& commandLine);
int runDecodeSegments(CommandLine& commandLine);
int runDecodeDtw(CommandLine& commandLine);

} // namespace sonavex::tool
