#pragma once
// Blocking questions to the sound server over the shared context: its sinks and sources, its
// defaults, and the one setting we change (the default sink). Every call asks the server again.
//
// Thread rule for all of them: any thread but the loop's, without holding a PulseContext::Lock;
// each blocks until the server answers and throws PulseError (naming the library call) when it
// does not or refuses.

#include "Platform/Audio/Pulse/PulseDevice.h"
#include "Platform/Audio/Pulse/PulseServerInfo.h"
#include "Platform/Audio/Pulse/PulseSinkInput.h"

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

class PulseContext;

/// Every sink, in the server's order.
std::vector<PulseDevice> listSinks(PulseContext& context);
/// Every source, monitors included, in the server's order.
std::vector<PulseDevice> listSources(PulseContext& context);
/// One sink or source by its index; PA_ERR_NOENTITY when there is none with it.
PulseDevice readSink(PulseContext& context, uint32_t index);
PulseDevice readSource(PulseContext& context, uint32_t index);
/// Every stream applications play, in the server's order.
std::vector<PulseSinkInput> listSinkInputs(PulseContext& context);
/// The server's name, version and default devices.
PulseServerInfo readServerInfo(PulseContext& context);
/// Makes the named sink the default for every client of the server.
void setDefaultSink(PulseContext& context, const std::string& sinkName);

} // namespace audio
