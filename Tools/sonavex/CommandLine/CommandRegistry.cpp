#include "CommandLine/CommandRegistry.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace sonavex::tool {

namespace {

// Built on first use: registrations run during static initialisation, in no fixed order across files.
std::map<std::string, Command>& commands() {
    static std::map<std::string, Command> table;
    return table;
}

} // namespace

void CommandRegistry::add(Command command) {
    auto name = command.name;
    if (!commands().emplace(name, std::move(command)).second) {
        throw std::logic_error("sonavex: two command groups are named " + name);
    }
}

const Command* CommandRegistry::find(const std::string& name) {
    auto found = commands().find(name);
    return found == commands().end() ? nullptr : &found->second;
}

std::vector<const Command*> CommandRegistry::all() {
    std::vector<const Command*> result;
    for (const auto& entry : commands()) {
        result.push_back(&entry.second);
    }
    return result;
}

} // namespace sonavex::tool
