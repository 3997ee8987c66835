// velmoractl disk-space PATH: the room left on PATH's volume and whether a recording would be refused.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Devices/DiskSpace.h"

namespace {

int diskSpace(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (line.positional().size() != 1) {
        throw velmoractl::UsageError("disk-space takes one path");
    }
    const auto available = velmora::DiskSpace::availableBytes(line.positional().front());
    velmoractl::JsonObject result;
    if (available) {
        result.integer("availableBytes", *available);
    } else {
        result.null("availableBytes");
    }
    result.boolean("isBelowWarningThreshold", velmora::DiskSpace::isBelowWarningThreshold(available));
    velmoractl::printLine(result);
    return velmoractl::exitSuccess;
}

const bool registered = velmoractl::registerCommandGroup({"disk-space", "disk-space PATH", diskSpace});

} // namespace
