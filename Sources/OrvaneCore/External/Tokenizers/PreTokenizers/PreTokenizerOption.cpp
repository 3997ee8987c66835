#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerOption.h"

namespace orvane {

std::string toString(PreTokenizerOption option) {
    switch (option) {
    case PreTokenizerOption::firstSection:
        return "firstSection";
    }
    return "";
}

std::optional<PreTokenizerOption> preTokenizerOptionFromString(std::string_view raw) {
    if (raw == "firstSection")
        return PreTokenizerOption::firstSection;
    return std::nullopt;
}

} // namespace orvane
