#pragma once
// One row of the model-support configuration: a family of devices named by hardware-model identifier
// prefixes, and what they run.

#include <optional>
#include <string>
#include <vector>

#include "Sonavex/Core/Models/ModelSupport.h"

namespace sonavex {

struct DeviceSupport {
    /// A display list of the chip family, such as "M2, M3, M4".
    std::optional<std::string> chips;
    std::vector<std::string> identifiers;
    ModelSupport models;
};

} // namespace sonavex
