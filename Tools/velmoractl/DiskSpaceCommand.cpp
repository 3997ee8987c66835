// velmoractl disk-space PATH: the room left on PATH's volume and whether a recording would be refused.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"

#include <filesystem>
#include <system_error>

namespace {

int diskSpace(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (line.positional().size() != 1) {
        throw velmoractl::UsageError("disk-space takes one path");
    }
    const std::filesystem::path path = line.positional().front();
    const auto available = velmora::DiskSpace::availableBytes(path);
    if (!available) {
        // Most often a path that does not exist: say so rather than report an unknown amount as success.
        std::error_code code = std::make_error_code(std::errc::io_error);
        if (std::error_code probe; !std::filesystem::exists(path, probe)) {
            code = probe ? probe : std::make_error_code(std::errc::no_such_file_or_directory);
        }
        throw std::filesystem::filesystem_error("cannot read the room left on the volume", path, code);
    }
    velmoractl::JsonObject result;
    result.integer("availableBytes", *available);
    result.boolean("isBelowWarningThreshold", velmora::DiskSpace::isBelowWarningThreshold(available));
    velmoractl::printLine(result);
    return velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup({"disk-space", "disk-space PATH", diskSpace});

} // namespace
