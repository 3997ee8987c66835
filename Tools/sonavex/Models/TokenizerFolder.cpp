#include "Models/TokenizerFolder.h"

#include "CommandLine/StandardOutputToError.h"
#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/Models/AutoTokenizerWrapper.h"

namespace sonavex::tool {

std::shared_ptr<WhisperTokenizerWrapper> loadTokenizerFolder(const std::string& folder) {
    StandardOutputToError quiet;
    return std::make_shared<WhisperTokenizerWrapper>(
        orvane::AutoTokenizerWrapper::fromModelFolder(folder, orvane::HubApiWrapper(), true),
        std::filesystem::path(folder));
}

} // namespace sonavex::tool
