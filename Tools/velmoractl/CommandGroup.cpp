#include "CommandGroup.h"

#include <algorithm>
#include <stdexcept>

namespace velmoractl {

namespace {

// A function-local table: registrations run during static initialisation, in no fixed file order.
std::vector<CommandGroup>& table() {
    static std::vector<CommandGroup> groups;
    return groups;
}

} // namespace

bool registerCommandGroup(CommandGroup group) {
    for (const auto& existing : table()) {
        if (existing.name == group.name) {
            throw std::logic_error("command group registered twice: " + group.name);
        }
    }
    table().push_back(std::move(group));
    return true;
}

std::vector<CommandGroup> commandGroups() {
    std::vector<CommandGroup> groups = table();
    std::sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return groups;
}

} // namespace velmoractl
