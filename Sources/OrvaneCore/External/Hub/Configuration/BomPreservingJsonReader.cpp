#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"

#include "OrvaneCore/External/Hub/Configuration/ConfigJson.h"

#include <algorithm>
#include <cstdint>
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
    bool end_object() override {
        finishDictionary(open_.back());
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t) override { return open(Config(Config::Array{})); }
    bool end_array() override {
        open_.pop_back();
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        throw BomPreservingJsonReader::ParseError(readable(error.what()));
    }

private:
    using Entry = std::pair<BinaryDistinctString, Config>;
    // A container being filled. A dictionary's entries wait in document order and go into the map
    // sorted, all at once: inserting a large vocabulary key by key costs several times more.
    struct Open {
        Config* container;
        std::vector<Entry> entries;
    };
    std::vector<Open> open_;
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

    // Where the value goes; its address stays valid while it is open, because its parent gains nothing
    // until the value is closed.
    Config* insert(Config value) {
        if (open_.empty()) {
            result = std::move(value);
            return &result;
        }
        Open& parent = open_.back();
        if (auto* elements = std::get_if<Config::Array>(&parent.container->value)) {
            elements->push_back(std::move(value));
            return &elements->back();
        }
        parent.entries.emplace_back(std::move(key_), std::move(value));
        return &parent.entries.back().second;
    }

    bool place(Config value) {
        insert(std::move(value));
        return true;
    }

    bool open(Config container) {
        if (open_.size() >= maximumConfigDepth) {
            throw BomPreservingJsonReader::ParseError("too many nested arrays or objects (more than " +
                                                      std::to_string(maximumConfigDepth) + " levels)");
        }
        open_.push_back({insert(std::move(container)), {}});
        return true;
    }

    static void finishDictionary(Open& open) {
        auto& entries = open.entries;
        // Sorting positions instead of entries spares moving every key and value several times.
        std::vector<std::uint32_t> order(entries.size());
        for (std::uint32_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            auto byKey = entries[a].first <=> entries[b].first;
            return byKey != 0 ? byKey < 0 : a < b;
        });
        auto& map = std::get<Config::Dictionary>(open.container->value);
        for (std::size_t k = 0; k < order.size(); ++k) {
            Entry& entry = entries[order[k]];
            // The last of duplicate keys wins, as in a dictionary literal.
            if (k + 1 < order.size() && entries[order[k + 1]].first == entry.first) {
                continue;
            }
            map.emplace_hint(map.end(), std::move(entry.first), std::move(entry.second));
        }
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
