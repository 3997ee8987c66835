#pragma once
// Starts programs from PATH in a session of their own, their standard streams on /dev/null, so that
// they neither block on us nor become our zombies.

#include "VelmoraCore/AudioCapture/Devices/ProgramLauncher.h"

namespace velmora {

class SystemProgramLauncher : public ProgramLauncher {
public:
    std::optional<std::filesystem::path> find(const std::string& program) override;
    void startDetached(const std::filesystem::path& executable,
                       const std::vector<std::string>& arguments) override;
};

} // namespace velmora
