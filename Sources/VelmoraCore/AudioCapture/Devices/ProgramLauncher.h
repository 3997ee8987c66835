#pragma once
// Finds and starts other programs (the sound settings) without waiting for them. SystemProgramLauncher
// is the machine's; tests use a fake that records what would have started.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    /// The program's executable on the search path, or none when it is not installed.
    virtual std::optional<std::filesystem::path> find(const std::string& program) = 0;
    /// Starts the executable with the arguments, detached from us: it outlives us and is never waited
    /// for. Failures to start are dropped.
    virtual void startDetached(const std::filesystem::path& executable,
                               const std::vector<std::string>& arguments) = 0;
};

} // namespace velmora
