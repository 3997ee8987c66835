#pragma once
// The lines `sonavex stream` prints for one change of the streaming transcriber's state.

#include "CommandLine/JsonLines.h"
#include "Sonavex/Core/Audio/Streaming/AudioStreamTranscriberState.h"

#include <vector>

namespace sonavex::tool {

/// One {"field", "value"} per field that differs between the two states, in the state's field order;
/// "bufferEnergy" is given as its length. None when nothing differs.
std::vector<Json> stateChangeLines(const AudioStreamTranscriberState& oldState,
                                   const AudioStreamTranscriberState& newState);

} // namespace sonavex::tool
