#pragma once
// The channel flags of the commands that load audio: which channels make the mono signal.

#include "CommandLine/CommandLine.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"

namespace sonavex::tool {

/// Takes `--channel I | --sum | --sum-channels A,B…` (none: all channels summed); throws
/// CommandLine::UsageError when more than one is given or an index is not an integer.
AudioInputOptions::ChannelMode channelModeArgument(CommandLine& commandLine);

} // namespace sonavex::tool
