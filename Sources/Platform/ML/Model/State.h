#pragma once
// A model's state for stateful prediction: one array per state feature the model declares, zeroed when
// Model::makeState() makes it and carried from one prediction to the next (a cache the model keeps
// between calls, say). A state belongs to the model that made it.

#include <map>
#include <memory>
#include <set>
#include <string>

#include "Platform/ML/Values/MultiArray.h"

namespace ml {

class Model;

class State {
public:
    /// The named state array; std::out_of_range for a name the model does not declare.
    MultiArray& array(const std::string& name);
    const MultiArray& array(const std::string& name) const;
    std::set<std::string> names() const;

private:
    friend class Model;
    State(const Model* owner, std::map<std::string, std::shared_ptr<MultiArray>> arrays)
        : owner_(owner), arrays_(std::move(arrays)) {}

    const Model* owner_;
    std::map<std::string, std::shared_ptr<MultiArray>> arrays_;
};

} // namespace ml
