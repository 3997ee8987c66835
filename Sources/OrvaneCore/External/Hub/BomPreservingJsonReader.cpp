#include "OrvaneCore/External/Hub/BomPreservingJsonReader.h"

#include "OrvaneCore/External/Hub/ConfigJson.h"

#include <nlohmann/json.hpp>

namespace orvane {

namespace {

// Builds the Config straight from the parser's events: a tokenizer.json with a large vocabulary is
// read without an intermediate JSON tree. The parser keeps U+FEFF inside strings as it is, so the
// mark survives without any rewriting of the data.
class ConfigBuilder : public nlohmann::json_sax<nlohmann::json> {
public:
    Config result;

    bool null() override { return place(Config()); }
    bool boolean(bool flag) override { return place(Config(flag ? 1 : 0)); }
    bool number_integer(number_integer_t number) override { return place(configFromJsonNumber(number)); }
    bool number_unsigned(number_unsigned_t number) override { return place(configFromJsonNumber(number)); }
    bool number_float(number_float_t number, const string_t&) override {
        return place(configFromJsonNumber(number));
    }
    bool string(string_t& text) override { return place(Config(text)); }
    bool binary(binary_t&) override { return place(Config()); }

    bool start_object(std::size_t) override { return open(Config(Config::Dictionary{})); }
    bool key(string_t& text) override {
        key_ = BinaryDistinctString(text);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Config(Config::Array{})); }
    bool end_array() override { return close(); }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        throw BomPreservingJsonReader::ParseError(readable(error.what()));
    }

private:
    std::vector<Config*> open_;
    BinaryDistinctString key_;

    // nlohmann prefixes its messages with "[json.exception.<kind>.<id>] ", which tells a reader nothing.
    static std::string readable(std::string message) {
        if (message.starts_with("[json.exception.")) {
            if (auto end = message.find("] "); end != std::string::npos) {
                message.erase(0, end + 2);
            }
        }
        return message;
    }

    Config* insert(Config value) {
        if (open_.empty()) {
            result = std::move(value);
            return &result;
        }
        Config& parent = *open_.back();
        if (auto* entries = std::get_if<Config::Dictionary>(&parent.value)) {
            // The last of duplicate keys wins, as in a dictionary literal.
            return &entries->insert_or_assign(std::move(key_), std::move(value)).first->second;
        }
        // The element's address stays valid while it is open: its parent gains nothing until it closes.
        auto& elements = std::get<Config::Array>(parent.value);
        elements.push_back(std::move(value));
        return &elements.back();
    }

    bool place(Config value) {
        insert(std::move(value));
        return true;
    }
    bool open(Config container) {
        open_.push_back(insert(std::move(container)));
        return true;
    }
    bool close() {
        open_.pop_back();
        return true;
    }
};

} // namespace

Config BomPreservingJsonReader::bomPreservingJsonObject(std::string_view data) {
    ConfigBuilder builder;
    if (!nlohmann::json::sax_parse(data, &builder)) {
        throw ParseError("the JSON document is incomplete");
    }
    return std::move(builder.result);
}

} // namespace orvane
