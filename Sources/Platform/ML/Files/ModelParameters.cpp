#include "Platform/ML/Files/ModelParameters.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "Platform/ML/Files/BoundedJson.h"

namespace ml {

struct ModelParameters::Impl {
    nlohmann::json table = nlohmann::json::object();
};

namespace {

[[noreturn]] void fail(const std::string& key, const char* expected) {
    throw std::invalid_argument("model parameter \"" + key + "\" is missing or not " + expected);
}

// JSON writers may spell an integral number as 1.0; accept it, refuse 1.5.
bool readInteger(const nlohmann::json& value, int64_t& out) {
    if (value.is_number_integer()) {
        out = value.get<int64_t>();
        return true;
    }
    if (value.is_number_float()) {
        double number = value.get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && std::fabs(number) < 9.0e15) {
            out = static_cast<int64_t>(number);
            return true;
        }
    }
    return false;
}

} // namespace

ModelParameters::ModelParameters() : impl_(std::make_unique<Impl>()) {}
ModelParameters::ModelParameters(const ModelParameters& other) : impl_(std::make_unique<Impl>(*other.impl_)) {}
ModelParameters& ModelParameters::operator=(const ModelParameters& other) {
    if (this != &other) {
        impl_ = std::make_unique<Impl>(*other.impl_);
    }
    return *this;
}
ModelParameters::ModelParameters(ModelParameters&&) noexcept = default;
ModelParameters& ModelParameters::operator=(ModelParameters&&) noexcept = default;
ModelParameters::~ModelParameters() = default;

ModelParameters ModelParameters::fromJson(const std::string& jsonObject) {
    bool tooDeep = false;
    nlohmann::json parsed = parseBoundedJson(jsonObject, tooDeep);
    if (tooDeep) {
        throw std::invalid_argument("model parameters nest deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    if (parsed.is_discarded() || !parsed.is_object()) {
        throw std::invalid_argument("model parameters are not a JSON object");
    }
    ModelParameters parameters;
    parameters.impl_->table = std::move(parsed);
    return parameters;
}

std::string ModelParameters::toJson() const { return impl_->table.dump(); }

bool ModelParameters::contains(const std::string& key) const { return impl_->table.contains(key); }

int64_t ModelParameters::integer(const std::string& key) const {
    int64_t value = 0;
    if (!contains(key) || !readInteger(impl_->table.at(key), value)) {
        fail(key, "an integer");
    }
    return value;
}

int64_t ModelParameters::integer(const std::string& key, int64_t defaultValue) const {
    return contains(key) ? integer(key) : defaultValue;
}

double ModelParameters::number(const std::string& key) const {
    if (!contains(key) || !impl_->table.at(key).is_number()) {
        fail(key, "a number");
    }
    return impl_->table.at(key).get<double>();
}

double ModelParameters::number(const std::string& key, double defaultValue) const {
    return contains(key) ? number(key) : defaultValue;
}

std::string ModelParameters::string(const std::string& key) const {
    if (!contains(key) || !impl_->table.at(key).is_string()) {
        fail(key, "a text");
    }
    return impl_->table.at(key).get<std::string>();
}

bool ModelParameters::boolean(const std::string& key, bool defaultValue) const {
    if (!contains(key)) {
        return defaultValue;
    }
    if (!impl_->table.at(key).is_boolean()) {
        fail(key, "true or false");
    }
    return impl_->table.at(key).get<bool>();
}

std::vector<int64_t> ModelParameters::integers(const std::string& key) const {
    if (!contains(key) || !impl_->table.at(key).is_array()) {
        fail(key, "a list of integers");
    }
    std::vector<int64_t> values;
    for (const auto& item : impl_->table.at(key)) {
        int64_t value = 0;
        if (!readInteger(item, value)) {
            fail(key, "a list of integers");
        }
        values.push_back(value);
    }
    return values;
}

std::vector<std::vector<int64_t>> ModelParameters::integerRows(const std::string& key) const {
    if (!contains(key) || !impl_->table.at(key).is_array()) {
        fail(key, "a list of integer lists");
    }
    std::vector<std::vector<int64_t>> rows;
    for (const auto& row : impl_->table.at(key)) {
        if (!row.is_array()) {
            fail(key, "a list of integer lists");
        }
        std::vector<int64_t> values;
        for (const auto& item : row) {
            int64_t value = 0;
            if (!readInteger(item, value)) {
                fail(key, "a list of integer lists");
            }
            values.push_back(value);
        }
        rows.push_back(std::move(values));
    }
    return rows;
}

void ModelParameters::set(const std::string& key, int64_t value) { impl_->table[key] = value; }
void ModelParameters::set(const std::string& key, double value) { impl_->table[key] = value; }
void ModelParameters::set(const std::string& key, const std::string& value) { impl_->table[key] = value; }
void ModelParameters::setBoolean(const std::string& key, bool value) { impl_->table[key] = value; }
void ModelParameters::set(const std::string& key, const std::vector<int64_t>& values) {
    impl_->table[key] = values;
}
void ModelParameters::set(const std::string& key, const std::vector<std::vector<int64_t>>& rows) {
    impl_->table[key] = rows;
}

} // namespace ml
