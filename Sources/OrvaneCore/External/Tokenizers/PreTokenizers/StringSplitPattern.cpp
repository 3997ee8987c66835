#include "OrvaneCore/External/Tokenizers/PreTokenizers/StringSplitPattern.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"

namespace orvane {

std::optional<StringSplitPattern> StringSplitPattern::from(const Config& config) {
    const Config& pattern = config["pattern"];
    if (auto literal = pattern["String"].string())
        return StringSplitPattern{Kind::string, *literal};
    if (auto expression = pattern["Regex"].string())
        return StringSplitPattern{Kind::regexp, *expression};
    return std::nullopt;
}

} // namespace orvane
