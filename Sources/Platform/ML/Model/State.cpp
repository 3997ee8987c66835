#include "Platform/ML/Model/State.h"

#include <stdexcept>

namespace ml {

MultiArray& State::array(const std::string& name) {
    auto found = arrays_.find(name);
    if (found == arrays_.end()) {
        throw std::out_of_range("The model has no state \"" + name + "\"");
    }
    return *found->second;
}

const MultiArray& State::array(const std::string& name) const {
    return const_cast<State*>(this)->array(name);
}

std::set<std::string> State::names() const {
    std::set<std::string> names;
    for (const auto& [name, array] : arrays_) {
        names.insert(name);
    }
    return names;
}

} // namespace ml
