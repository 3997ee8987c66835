#pragma once
// Which side of a device a channel count is asked for.

namespace velmora {

enum class AudioScope { input, output };

} // namespace velmora
