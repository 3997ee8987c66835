#include "Sonavex/Utilities/Writers/WriteJSON.h"

#include "Sonavex/Utilities/Formats/JsonCoding.h"

namespace sonavex {

Result<std::string> WriteJSON::write(const TranscriptionResult& result, const std::string& to,
                                     const std::optional<std::map<std::string, std::any>>&) {
    std::string contents;
    try {
        json::Json document = result;
        json::requireFinite(document);
        contents = document.dump(2);
    } catch (...) {
        return Result<std::string>::currentFailure();
    }
    return writeFile(to + ".json", contents);
}

} // namespace sonavex
