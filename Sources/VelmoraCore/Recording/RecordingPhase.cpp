#include "VelmoraCore/Recording/RecordingPhase.h"

namespace velmora {

std::string_view RecordingPhase::caseName() const {
    switch (kind) {
    case Case::idle:
        return "idle";
    case Case::recording:
        return "recording";
    case Case::failed:
        return "failed";
    }
    return "idle";
}

} // namespace velmora
