#include "Sonavex/Utilities/Models/CheckpointJson.h"

#include "Sonavex/Utilities/Models/CheckpointConversionError.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

namespace sonavex::checkpoint {

nlohmann::json readObject(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw CheckpointConversionError(file.string() + ": missing or unreadable");
    }
    std::stringstream text;
    text << in.rdbuf();
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::exception& error) {
        throw CheckpointConversionError(file.string() + ": not valid JSON (" + error.what() + ")");
    }
    if (!json.is_object()) {
        throw CheckpointConversionError(file.string() + ": not a JSON object");
    }
    return json;
}

int64_t integer(const nlohmann::json& value, const std::filesystem::path& file, const std::string& key,
                int64_t minimum, int64_t maximum) {
    const auto fail = [&](const std::string& problem) {
        return CheckpointConversionError(file.string() + ": key \"" + key + "\" " + problem);
    };
    int64_t result = 0;
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(std::numeric_limits<int64_t>::max())) {
            throw fail("is too large");
        }
        result = value.get<int64_t>();
    } else if (value.is_number_float()) {
        // A writer may store 1500 as 1500.0.
        const double number = value.get<double>();
        if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9.0e15) {
            throw fail("is not an integer");
        }
        result = static_cast<int64_t>(number);
    } else {
        throw fail("is not an integer");
    }
    if (result < minimum) {
        throw fail("is " + std::to_string(result) + ", less than " + std::to_string(minimum));
    }
    if (result > maximum) {
        throw fail("is " + std::to_string(result) + ", more than " + std::to_string(maximum));
    }
    return result;
}

} // namespace sonavex::checkpoint
