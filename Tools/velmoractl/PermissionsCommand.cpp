// velmoractl permissions [--request-microphone]: whether both tracks may be recorded; the request asks
// again and writes the permission debug log as the panel's button does.

#include "CommandGroup.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Devices/Permissions.h"

namespace {

int permissions(const velmoractl::Arguments& arguments) {
    bool request = false;
    for (const auto& word : arguments) {
        if (word != "--request-microphone" || request) {
            throw velmoractl::UsageError("unexpected " + word);
        }
        request = true;
    }
    const auto permissions = velmora::Permissions::standard();
    if (request) {
        permissions.requestMicrophoneAccess();
    }
    velmoractl::printLine(
        velmoractl::JsonObject()
            .string("microphone", velmora::permissionStatusName(permissions.microphoneStatus()))
            .string("screenRecording", velmora::permissionStatusName(permissions.screenRecordingStatus())));
    return velmoractl::exitSuccess;
}

const bool registered =
    velmoractl::registerCommandGroup({"permissions", "permissions [--request-microphone]", permissions});

} // namespace
