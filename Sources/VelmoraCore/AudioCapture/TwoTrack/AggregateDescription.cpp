#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDescription.h"

namespace velmora {

AggregateDescription makeAggregateDescription(const std::string& outputUID, const std::string& inputUID,
                                              const std::string& tapUID, const std::string& uid) {
    AggregateDescription description;
    description.name = "Velmora Capture";
    description.uid = uid;
    description.master = outputUID;
    description.isPrivate = true;
    description.stacked = false;
    description.tapAutoStart = false;
    description.subDevices.push_back({outputUID, 0});
    if (inputUID != outputUID) {
        description.subDevices.push_back({inputUID, 1});
    }
    description.taps.push_back({tapUID, 1});
    return description;
}

} // namespace velmora
