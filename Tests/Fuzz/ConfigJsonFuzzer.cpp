// Configuration files (tokenizer.json, tokenizer_config.json, config.json) read into Config values:
// reading either gives a value or a parse error, and a value written back as JSON reads back the same.

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Hub/Configuration/ConfigJson.h"

#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    orvane::Config config;
    try {
        config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(text);
    } catch (const orvane::BomPreservingJsonReader::ParseError&) {
        return 0;
    } catch (const std::invalid_argument&) {
        return 0; // nested deeper than a configuration may be
    }
    // The lookups every tokenizer stage makes, on whatever shape arrived.
    for (const char* key : {"model", "normalizer", "preTokenizer", "addedTokens", "tokenizerClass"}) {
        const orvane::Config& member = config[key];
        (void)member.string();
        (void)member.integer();
        (void)member.boolean();
        (void)member.floating();
        (void)member["vocab"]["type"].string();
    }
    // Written out and read back, a value is stable from the first round on. (The first round may change
    // its form: a number too small for a float is read as 0.0, which reads back as the integer 0.)
    auto roundTrip = [](const orvane::Config& value) {
        nlohmann::json written;
        orvane::to_json(written, value);
        orvane::Config reread;
        orvane::from_json(nlohmann::json::parse(written.dump()), reread);
        return reread;
    };
    const orvane::Config once = roundTrip(config);
    nlohmann::json first, second;
    orvane::to_json(first, once);
    orvane::to_json(second, roundTrip(once));
    if (first.dump() != second.dump()) {
        std::abort();
    }
    return 0;
}
