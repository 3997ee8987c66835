#pragma once
// The actions of `sonavex audio` beyond loading, kept in files of their own; AudioCommand.cpp registers
// the group and hands each action its arguments.

#include "CommandLine/CommandLine.h"

#include <cstdint>
#include <optional>
#include <string>

namespace sonavex::tool {

/// `sonavex audio vad …` and `sonavex audio chunks …`, with the action already taken.
int runAudioVad(CommandLine& commandLine);
int runAudioChunks(CommandLine& commandLine);

/// Their usage lines.
extern const char* const kAudioVoiceUsage;

/// `sonavex audio devices` and `sonavex audio record …`, with the action already taken.
int runAudioDevices(CommandLine& commandLine);
int runAudioRecord(CommandLine& commandLine);

/// Their usage lines.
extern const char* const kAudioCaptureUsage;

/// The number a --device option gives (nothing without one); a usage error outside 0...4294967295.
std::optional<uint32_t> deviceArgument(const std::optional<std::string>& text);

} // namespace sonavex::tool
